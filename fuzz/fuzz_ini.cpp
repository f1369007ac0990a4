#include "TIniFile.h"
#include "TSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

namespace {
// One private folder for the whole run, standing in for the program folder
// and the configuration folder.
const QTemporaryDir &Folder()
{
    static const QTemporaryDir folder;
    return folder;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    if (!Folder().isValid())
        __builtin_trap();
    TProgramLocation where;
    where.folder = Folder().filePath(QStringLiteral("program"));
    where.baseName = QStringLiteral("dravelin");
    where.globalIniFolder = Folder().filePath(QStringLiteral("config"));
    SetProgramLocation(where);
    QDir().mkpath(where.folder);
    QDir().mkpath(where.globalIniFolder);
    return 0;
}

// Reads arbitrary bytes as the settings INI file, saves the settings over it
// and reads them back.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    TIniFile ini;
    ini.Parse(bytes);
    // What the file writes must read back to the same values and write the
    // same bytes again.
    const QByteArray written = ini.ToBytes();
    TIniFile again;
    again.Parse(written);
    for (const QString &section : {QStringLiteral("General"), QStringLiteral("Company")})
        for (const QString &key : {QStringLiteral("SaveSettings"), QStringLiteral("Name")})
            if (ini.Value(section, key) != again.Value(section, key))
                __builtin_trap();

    const QString path = TSettings::IniFileName();
    QFile::remove(path);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            __builtin_trap();
    }
    TSettings first;
    first.Load();
    try {
        first.Save();
    } catch (...) {
        // A save that fails is reported to the user; nothing to check here.
        return 0;
    }
    // Once saved, reading and saving again changes nothing.
    QFile saved(path);
    if (!saved.open(QIODevice::ReadOnly))
        __builtin_trap();
    const QByteArray once = saved.readAll();
    saved.close();
    TSettings second;
    second.Load();
    second.Save();
    if (!saved.open(QIODevice::ReadOnly) || saved.readAll() != once)
        __builtin_trap();
    return 0;
}
