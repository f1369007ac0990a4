#include "KeyLockState.h"

#include <QDir>
#include <QFile>

QString LockKeyIndicator(LockKey key, const QString &ledsFolder)
{
    const QString suffix = key == LockKey::Caps ? QStringLiteral("::capslock") : QStringLiteral("::numlock");
    const QDir leds(ledsFolder);
    const QStringList entries =
        leds.entryList({QLatin1Char('*') + suffix}, QDir::AllEntries | QDir::NoDotAndDotDot);
    // Several keyboards each have their LED; any one lit means the lock is on.
    for (const QString &entry : entries) {
        QFile brightness(leds.filePath(entry) + QStringLiteral("/brightness"));
        if (brightness.open(QIODevice::ReadOnly) && brightness.readAll().trimmed().toInt() > 0)
            return key == LockKey::Caps ? QStringLiteral("CAPS") : QStringLiteral("NUM");
    }
    return {};
}
