#pragma once

#include "TDataModuleMain.h"
#include "TSettings.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <cstdlib>

// What a target keeps for the whole run: the application, a data module (its
// tables are the program's), and a folder of its own, in memory where the
// system has such a folder (every write of a table file is synced, which a
// disk makes slow). It lives until the process ends: destroying the
// application among the static destructors of Qt itself crashes, so only the
// folder is removed.
struct TFuzzContext {
    QCoreApplication *app = nullptr;
    TDataModuleMain *data = nullptr;
    QTemporaryDir *dir = nullptr;
};

inline TFuzzContext &FuzzContext()
{
    static auto *context = new TFuzzContext;
    return *context;
}

// Makes the context; called from LLVMFuzzerInitialize.
inline TFuzzContext &InitFuzzContext(int *argc, char ***argv, const char *target)
{
    TFuzzContext &context = FuzzContext();
    context.app = new QCoreApplication(*argc, *argv);
    context.data = new TDataModuleMain(Settings());
    context.dir = QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                      ? new QTemporaryDir(QStringLiteral("/dev/shm/%1-XXXXXX").arg(QLatin1String(target)))
                      : new QTemporaryDir;
    std::atexit([] { delete FuzzContext().dir; });
    return context;
}

inline QByteArray FileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
