#pragma once

#include <QString>

class TTables;

// Dravelin Files as the program and dravelin-cli make them.

// fileName with its last extension replaced by ".dravelin", or ".dravelin"
// appended when it has none: Project and Project.txt both give
// Project.dravelin.
QString WithDravelinExtension(const QString &fileName);

// Whether fileName names a Dravelin File by its extension.
bool IsDravelinFile(const QString &fileName);

// "Save as Dravelin File": writes what of the open Action File is not on
// disk yet (a failure is thrown as the table set throws it), then packs its
// six files into container. A pack that fails, or finds no Action File open,
// throws TContainerError and leaves a previous container as it was.
void SaveAsDravelinFile(TTables &tables, const QString &container);
