#include "NamedAction.h"

#include "ActionFileSession.h"
#include "AppError.h"
#include "CliOutput.h"
#include "TDataModuleMain.h"

void GotoAction(TDataModuleMain &data, const QString &name)
{
    TTable &actions = *data.cdsActions;
    actions.SetFiltered(false);
    const int idAction = actions.FieldIndex(QStringLiteral("ID_ACTION"));
    const int id = actions.FieldIndex(QStringLiteral("ID"));
    QList<int> rows;
    for (int row = 0; row < actions.RecordCount(); ++row)
        if (actions.ValueAt(row, idAction).toString() == name)
            rows.append(row);
    if (rows.isEmpty()) {
        bool isNumber = false;
        const int number = name.toInt(&isNumber);
        for (int row = 0; isNumber && row < actions.RecordCount(); ++row)
            if (actions.ValueAt(row, id) == QVariant(number))
                rows.append(row);
    }
    if (rows.isEmpty())
        throw AppError(QStringLiteral("No action has the Action ID ") + Quoted(name));
    if (rows.size() > 1) {
        QStringList numbers;
        for (int row : rows)
            numbers.append(actions.ValueAt(row, id).toString());
        throw AppError(QStringLiteral("%1 actions have the Action ID %2; name one by its number: %3")
                           .arg(rows.size())
                           .arg(Quoted(name), numbers.join(QStringLiteral(", "))));
    }
    actions.SetRecNo(rows.first());
}

void ReadNamedAction(TDataModuleMain &data, TActionFileSession &session, const QString &name)
{
    session.OpenNarrow(TableMember::Actions, false);
    if (session.ReadRecords(TableMember::Actions, QStringLiteral("ID_ACTION"), name) == 0) {
        bool isNumber = false;
        const int number = name.toInt(&isNumber);
        if (isNumber)
            session.ReadRecords(TableMember::Actions, QStringLiteral("ID"), number);
    }
    data.cdsActions->SetIndexName(QStringLiteral("ATTRIBUTE_DESC"));
}
