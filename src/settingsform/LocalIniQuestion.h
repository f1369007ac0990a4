#pragma once

class TLocalIniChoice;

// The About window's "Local &INI" button: asks whether to use the other INI
// file, and on Yes switches and confirms; a marker that cannot be created or
// deleted is told and the old state kept.
void AskToSwitchIniFile(TLocalIniChoice &choice);
