#include "ContainerCommands.h"

#include "ActionFileNames.h"
#include "TCDSParser.h"
#include "TTables.h"

QString WithDravelinExtension(const QString &fileName)
{
    // A name that already ends in the extension, in any case, is the file
    // the user chose: file names are case-sensitive here.
    return ReplaceExtension(fileName, QLatin1String(".dravelin"), {.keepExtensionInAnyCase = true});
}

bool IsDravelinFile(const QString &fileName)
{
    return fileName.endsWith(QStringLiteral(".dravelin"), Qt::CaseInsensitive);
}

void SaveAsDravelinFile(TTables &tables, const QString &container)
{
    tables.SaveToFiles();
    if (tables.FileName().isEmpty())
        throw TContainerError(TContainerError::Member, QStringLiteral("No Action File is open"), QString(),
                              QString());
    TCDSParser(tables.FileName(), container).Pack();
}
