#include "TACTFiles.h"

const std::array<QString, TACTFiles::Count> &TACTFiles::Suffixes()
{
    static const std::array<QString, Count> suffixes = {
        QString(),
        QStringLiteral("._actions"),
        QStringLiteral("._actor"),
        QStringLiteral("._log"),
        QStringLiteral("._decision"),
        QStringLiteral("._statement"),
    };
    return suffixes;
}

TACTFiles::TACTFiles(const QString &headerFileName)
{
    for (int i = 0; i < Count; ++i)
        names_[static_cast<size_t>(i)] = headerFileName + Suffixes()[static_cast<size_t>(i)];
}
