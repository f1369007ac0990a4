#pragma once

class TDataModuleMain;

// The action list's "Merge Dravelin File…": asks for the returned Dravelin
// File, compares it with the open Action File and shows the differences in
// the merge window. OK applies the chosen changes as one change of the
// table set; Cancel changes nothing. A file that cannot be read is reported
// and nothing changes. Returns whether anything was merged.
bool MergeDravelinFileCommand(TDataModuleMain &data, bool readOnly);
