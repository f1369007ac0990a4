#include "TLocalIniChoice.h"

#include "AppError.h"
#include "TSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString markerPath()
{
    return ProgramLocation().LocalIniMarker();
}

[[noreturn]] void CannotUse(const QString &which, const QString &marker, const QString &what)
{
    throw AppError(QStringLiteral("The %1 INI File cannot be used: the marker file \"").arg(which) +
                       QDir::toNativeSeparators(marker) + QStringLiteral("\" could not be %1.").arg(what),
                   marker);
}

} // namespace

TLocalIniChoice::TLocalIniChoice() : localInUse_(QFileInfo::exists(markerPath()))
{
}

QString TLocalIniChoice::Caption() const
{
    return QStringLiteral("About Dravelin\u00AE Ostravine ") +
           (localInUse_ ? QStringLiteral("[LOCAL Ini File]") : QStringLiteral("[GLOBAL Ini File]"));
}

void TLocalIniChoice::Switch()
{
    const QString marker = markerPath();
    if (localInUse_) {
        QFile::remove(marker);
        // Someone else may have removed it already: what counts is that it is gone.
        if (QFileInfo::exists(marker))
            CannotUse(QStringLiteral("GLOBAL"), marker, QStringLiteral("deleted"));
    } else {
        QDir().mkpath(QFileInfo(marker).absolutePath());
        QFile file(marker);
        if (!file.open(QIODevice::WriteOnly))
            CannotUse(QStringLiteral("LOCAL"), marker, QStringLiteral("created"));
    }
    localInUse_ = !localInUse_;
}
