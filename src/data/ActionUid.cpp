#include "ActionUid.h"

#include "TTable.h"

#include <QCryptographicHash>

QString ActionFileKey(TTable &header)
{
    // Each value on a line of its own, named, so no two headers run together.
    QByteArray identity;
    const bool held = header.Active() && header.RecordCount() > 0;
    for (const char *name : {"DATE_ENTERED", "HOME_ID", "FOREIGN_ID", "PROJECT"}) {
        const QString field = QLatin1String(name);
        QString value;
        if (held) {
            // The date in ISO form, whatever form the program shows it in.
            const TField stored = header.FieldByName(field);
            value = stored.Def().type == ftDate ? stored.AsDate().toString(Qt::ISODate) : stored.AsString();
        }
        identity += field.toUtf8() + '=' + value.toUtf8() + '\n';
    }
    return QString::fromLatin1(
        QCryptographicHash::hash(identity, QCryptographicHash::Sha256).toHex().left(16));
}

QString ActionUid(const QString &fileKey, int actionId)
{
    return QString::number(actionId) + QLatin1Char('-') + fileKey + QStringLiteral("@dravelin");
}
