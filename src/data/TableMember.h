#pragma once

#include <QLatin1String>
#include <array>

// The six member tables of one Action File, in the order in which they are
// opened, closed and stored: the header file P (ending in ".act") and the
// files named P followed by each member's suffix.
enum class TableMember { Header = 0, Actions, Actor, Log, Decision, Statement };

inline constexpr int kTableMemberCount = 6;

inline constexpr std::array<TableMember, kTableMemberCount> kTableMembers = {
    TableMember::Header, TableMember::Actions,  TableMember::Actor,
    TableMember::Log,    TableMember::Decision, TableMember::Statement,
};

// The member's position in the fixed order.
constexpr int MemberIndex(TableMember member)
{
    return static_cast<int>(member);
}

// A set of members, one bit per member at its position in the fixed order.
using TMemberSet = unsigned;
inline constexpr TMemberSet kAllMembers = (1u << kTableMemberCount) - 1;

constexpr TMemberSet MemberBit(TableMember member)
{
    return 1u << static_cast<unsigned>(MemberIndex(member));
}

// What follows the header file's name in the member's file name.
inline QLatin1String MemberSuffix(TableMember member)
{
    static constexpr std::array<const char *, kTableMemberCount> suffixes = {
        "", "._actions", "._actor", "._log", "._decision", "._statement",
    };
    return QLatin1String(suffixes[static_cast<size_t>(MemberIndex(member))]);
}
