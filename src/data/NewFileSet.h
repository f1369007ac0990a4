#pragma once

#include "TableMember.h"

#include <QString>
#include <array>

// Makes the six files of a new Action File appear together. Each is first
// written whole under a hidden name beside its place (Stage, StageCopy);
// Publish then renames them into place, the companions first and the header
// last, which is the moment the Action File exists. While the renames run, a
// marker beside them lets a later creation of the same name tell the
// companions an interrupted one left behind (removed then) from files someone
// keeps there under those names (never touched).
class TNewFileSet {
public:
    // Refuses with AppError when actFile exists, or when companion files
    // exist that no interrupted creation left (the message names them).
    explicit TNewFileSet(const QString &actFile);
    // Removes the staged files that were not published.
    ~TNewFileSet();
    TNewFileSet(const TNewFileSet &) = delete;
    TNewFileSet &operator=(const TNewFileSet &) = delete;

    // A new, empty hidden file beside the member's place, to be written whole
    // and synced by the caller.
    QString Stage(TableMember member);
    // Stages a copy of the file source as the member, synced.
    void StageCopy(TableMember member, const QString &source);
    // Renames the six staged files into place and syncs the folder. On a
    // failure the files placed so far are taken back and AppError thrown.
    void Publish();

    // Throws the refusal the constructor gives, without changing anything.
    static void CheckFree(const QString &actFile);
    // The marker that stands beside the files while they are renamed.
    static QString MarkerName(const QString &actFile);

private:
    QString actFile_;
    std::array<QString, kTableMemberCount> staged_;
};
