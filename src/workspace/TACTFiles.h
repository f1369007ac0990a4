#pragma once

#include <QString>
#include <array>

// The six files of one Action File, always in this order: the header file P
// (ending in ".act") and P followed by each member suffix.
class TACTFiles {
public:
    static constexpr int Count = 6;
    // Positions of the member files, in their fixed order.
    enum Member { Header = 0, Actions, Actor, Log, Decision, Statement };
    static const std::array<QString, Count> &Suffixes(); // "", "._actions", ...

    explicit TACTFiles(const QString &headerFileName);

    const QString &HeaderFileName() const { return names_[0]; }
    const QString &Name(int index) const { return names_[static_cast<size_t>(index)]; }
    const std::array<QString, Count> &Names() const & { return names_; }
    // By value on a temporary, so `for (name : TACTFiles(p).Names())` never
    // walks a destroyed array.
    std::array<QString, Count> Names() && { return std::move(names_); }

private:
    std::array<QString, Count> names_;
};
