#include "TACTFiles.h"

const std::array<QString, TACTFiles::Count> &TACTFiles::Suffixes()
{
    static const std::array<QString, Count> suffixes = [] {
        std::array<QString, Count> all;
        for (TableMember member : kTableMembers)
            all[static_cast<size_t>(MemberIndex(member))] = MemberSuffix(member);
        return all;
    }();
    return suffixes;
}

TACTFiles::TACTFiles(const QString &headerFileName)
{
    for (int i = 0; i < Count; ++i)
        names_[static_cast<size_t>(i)] = headerFileName + Suffixes()[static_cast<size_t>(i)];
}
