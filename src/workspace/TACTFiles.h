#pragma once

#include "TableMember.h"

#include <QString>
#include <array>

// The six files of one Action File, always in the order of TableMember: the
// header file P (ending in ".act") and P followed by each member suffix.
class TACTFiles {
public:
    static constexpr int Count = kTableMemberCount;
    static const std::array<QString, Count> &Suffixes(); // "", "._actions", ...

    explicit TACTFiles(const QString &headerFileName);

    const QString &HeaderFileName() const { return names_[0]; }
    const QString &Name(int index) const { return names_[static_cast<size_t>(index)]; }
    const QString &Name(TableMember member) const { return Name(MemberIndex(member)); }
    const std::array<QString, Count> &Names() const & { return names_; }
    // By value on a temporary, so `for (name : TACTFiles(p).Names())` never
    // walks a destroyed array.
    std::array<QString, Count> Names() && { return std::move(names_); }

private:
    std::array<QString, Count> names_;
};
