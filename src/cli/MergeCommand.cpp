#include "ActionFileNames.h"
#include "ActionFileSession.h"
#include "AppError.h"
#include "CliCommandGroups.h"
#include "CliError.h"
#include "CliOutput.h"
#include "CommandInputs.h"
#include "DravelinMerge.h"
#include "MergeText.h"
#include "TSettings.h"

#include <QCommandLineParser>
#include <QTextStream>
#include <cstdio>

namespace {

const QString kHelp = QStringLiteral(
    "Usage: dravelin-cli merge FILE RETURNED.dravelin [--theirs|--mine]\n\n"
    "Merges a Dravelin File that came back into the Action File (or Dravelin File) FILE it was\n"
    "packed from. A field changed only there is taken, one changed only here is kept; what both\n"
    "sides changed, or any difference when the state packed is unknown, is a question. Open\n"
    "questions are listed and nothing is changed (exit code 3) unless:\n\n"
    "  --theirs  answers every question with the returned file's version.\n"
    "  --mine    answers every question with this file's version.\n");

QString FieldLine(const TFieldDiff &field)
{
    return QStringLiteral("    %1: here %2, there %3\n")
        .arg(field.field, ValueText(field.mine, 80), ValueText(field.theirs, 80));
}

// The questions of the plan, one line per record and one per field.
QString Questions(const TMergePlan &plan)
{
    QString text;
    for (const TRecordDiff &diff : plan.diffs) {
        if (!diff.question)
            continue;
        const QString change = ChangeText(diff.change);
        text += QStringLiteral("  ") + RecordTitle(diff) +
                (change.isEmpty() ? QString() : QStringLiteral(": ") + change) + QLatin1Char('\n');
        for (const TFieldDiff &field : diff.fields)
            if (field.question)
                text += FieldLine(field);
    }
    return text;
}

} // namespace

int CmdMerge(TDataModuleMain &data, const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption theirs(QStringLiteral("theirs")), mine(QStringLiteral("mine")),
        help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOptions({theirs, mine, help});
    if (!parser.parse(QStringList{QStringLiteral("merge")} + arguments))
        throw UsageError(QStringLiteral("merge: ") + parser.errorText());
    if (parser.isSet(help)) {
        WriteOut(kHelp);
        return ExitOk;
    }
    const QStringList args = parser.positionalArguments();
    if (args.size() != 2)
        throw UsageError(
            QStringLiteral("merge: FILE and RETURNED.dravelin are required (see dravelin-cli merge "
                           "--help)"));
    if (parser.isSet(theirs) && parser.isSet(mine))
        throw UsageError(QStringLiteral("merge: --theirs and --mine exclude each other"));
    const QString &fileName = args[0], &returned = args[1];
    TCommandInputs inputs;
    inputs.AddActionFile(returned);
    inputs.RefuseOutputs(TCommandInputs::FilesOf(fileName, TActionFileSession::IsDravelinFile(fileName)));

    TActionFileSession session(data, fileName, TActionFileSession::Change);
    // A Dravelin File merged into has no state kept from packing: the
    // merge is then two-way.
    const QString auxiliary = TActionFileSession::IsDravelinFile(fileName)
                                  ? QString()
                                  : AuxiliaryFolder(fileName, Settings().Folders.Auxiliary);
    TDravelinMerge merge(data, returned, auxiliary);
    TMergePlan &plan = merge.Plan();
    WriteOut(merge.BaseFileName().isEmpty()
                 ? QStringLiteral("Two-way merge: no state kept from packing \"%1\".\n").arg(returned)
                 : QStringLiteral("Three-way merge against \"%1\".\n").arg(merge.BaseFileName()));
    const int questions = plan.QuestionCount();
    if (questions > 0) {
        WriteOut(QStringLiteral("%1 open question(s):\n").arg(questions) + Questions(plan));
        if (!parser.isSet(theirs) && !parser.isSet(mine)) {
            WriteOut(QStringLiteral("Nothing was changed; decide them with --theirs or --mine.\n"));
            return ExitQuestionsOpen;
        }
        plan.DecideQuestions(parser.isSet(theirs) ? TChoice::TakeTheirs : TChoice::KeepMine);
    }
    const qsizetype changes = plan.OpsForMine().size();
    merge.Apply();
    session.Commit();
    WriteOut(QStringLiteral("%1 change(s) taken from \"%2\".\n").arg(changes).arg(returned));
    return ExitOk;
}
