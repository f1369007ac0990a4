#include "TFormMerge.h"

#include "MergeText.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kValueLength = 120;

QPushButton *NewButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
    return button;
}

// What a record is, in a few words, for a row of a record added or deleted.
QString Summary(TMergeKind kind, const TRecordValues &record)
{
    if (record.isEmpty())
        return QStringLiteral("(none)");
    switch (kind) {
    case TMergeKind::Header:
        return ValueText(record.value(QStringLiteral("TITLE")), kValueLength);
    case TMergeKind::Contact:
        return ValueText(QString(record.value(QStringLiteral("FIRST_NAME")).toString() + QLatin1Char(' ') +
                                 record.value(QStringLiteral("LAST_NAME")).toString()),
                         kValueLength);
    case TMergeKind::Log:
        return ValueText(record.value(QStringLiteral("STATUS_LINE")), kValueLength);
    default:
        return ValueText(record.value(QStringLiteral("SYNOPSIS")), kValueLength);
    }
}

} // namespace

TFormMerge::TFormMerge(TMergePlan &plan, const QString &returnedFile, QWidget *parent)
    : QDialog(parent), plan_(plan), defaults_(plan)
{
    setObjectName(QStringLiteral("FormMerge"));
    setWindowTitle(QStringLiteral("Merge Dravelin File"));

    LabelSummary = new QLabel(this);
    LabelSummary->setObjectName(QStringLiteral("LabelSummary"));
    LabelSummary->setWordWrap(true);
    const QString name = QFileInfo(returnedFile).fileName();
    LabelSummary->setText(
        (plan.threeWay
             ? QStringLiteral(
                   "Three-way merge of \"%1\": a field changed only there is taken, one changed only "
                   "here is kept. Differences in bold were changed on both sides.")
             : QStringLiteral("Two-way merge of \"%1\": the state it was packed in is not known, so every "
                              "difference is a question (in bold)."))
            .arg(name) +
        QStringLiteral(" %1 difference(s), %2 question(s).")
            .arg(plan.diffs.size())
            .arg(plan.QuestionCount()));
    LabelSummary->setAccessibleName(LabelSummary->text());

    TreeDifferences = new QTreeWidget(this);
    TreeDifferences->setObjectName(QStringLiteral("TreeDifferences"));
    TreeDifferences->setAccessibleName(QStringLiteral("Differences"));
    TreeDifferences->setColumnCount(ColumnCount);
    TreeDifferences->setHeaderLabels({QStringLiteral("Difference"), QStringLiteral("Here"),
                                      QStringLiteral("There"), QStringLiteral("Take theirs")});
    TreeDifferences->setUniformRowHeights(true);
    TreeDifferences->setAlternatingRowColors(true);
    TreeDifferences->header()->setStretchLastSection(false);
    TreeDifferences->header()->setSectionResizeMode(ColumnHere, QHeaderView::Stretch);
    TreeDifferences->header()->setSectionResizeMode(ColumnThere, QHeaderView::Stretch);
    TreeDifferences->setColumnWidth(ColumnDifference, 280);

    ButtonDefaults = NewButton(this, "ButtonDefaults", QStringLiteral("&Defaults"));
    ButtonDefaults->setToolTip(QStringLiteral("Take all theirs where I changed nothing"));
    ButtonAllTheirs = NewButton(this, "ButtonAllTheirs", QStringLiteral("Take All &Theirs"));
    ButtonAllMine = NewButton(this, "ButtonAllMine", QStringLiteral("Keep All &Mine"));
    auto *buttons = new QDialogButtonBox(this);
    ButtonOK = NewButton(this, "ButtonOK", QStringLiteral("OK"));
    ButtonOK->setDefault(true);
    ButtonCancel = NewButton(this, "ButtonCancel", QStringLiteral("Cancel"));
    buttons->addButton(ButtonOK, QDialogButtonBox::AcceptRole);
    buttons->addButton(ButtonCancel, QDialogButtonBox::RejectRole);

    auto *choices = new QHBoxLayout;
    choices->addWidget(ButtonDefaults);
    choices->addWidget(ButtonAllTheirs);
    choices->addWidget(ButtonAllMine);
    choices->addStretch();
    choices->addWidget(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(LabelSummary);
    layout->addWidget(TreeDifferences, 1);
    layout->addLayout(choices);
    resize(900, 560);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(ButtonDefaults, &QPushButton::clicked, this, [this] {
        plan_ = defaults_;
        ShowChoices();
    });
    connect(ButtonAllTheirs, &QPushButton::clicked, this, [this] { SetAll(TChoice::TakeTheirs); });
    connect(ButtonAllMine, &QPushButton::clicked, this, [this] { SetAll(TChoice::KeepMine); });
    connect(TreeDifferences, &QTreeWidget::itemChanged, this, &TFormMerge::ItemChanged);
    Fill();
}

void TFormMerge::Fill()
{
    // The title of an action's group names it by its Action ID where a
    // difference of the action itself shows it.
    QHash<QString, QString> actionTitles;
    for (const TRecordDiff &diff : plan_.diffs)
        if (diff.kind == TMergeKind::Action)
            actionTitles.insert(diff.actionKey, RecordTitle(diff));
    QList<QTreeWidgetItem *> groups;
    for (const TMergeGroup &group : plan_.Groups()) {
        QString title;
        switch (group.kind) {
        case TMergeKind::Header:
            title = QStringLiteral("Header");
            break;
        case TMergeKind::Contact:
            title = QStringLiteral("Contacts");
            break;
        default:
            title = actionTitles.value(group.actionKey, QStringLiteral("Action ") + group.actionKey);
        }
        auto *item = new QTreeWidgetItem(QStringList{title});
        QFont bold = item->font(ColumnDifference);
        bold.setBold(true);
        item->setFont(ColumnDifference, bold);
        for (int diff : group.diffs)
            AddDifference(item, diff);
        groups.append(item);
    }
    TreeDifferences->addTopLevelItems(groups);
    // Small merges open whole; a large one shows its groups to open.
    if (plan_.diffs.size() <= 200)
        TreeDifferences->expandAll();
    ShowChoices();
}

void TFormMerge::AddDifference(QTreeWidgetItem *group, int index)
{
    const TRecordDiff &diff = plan_.diffs[index];
    const QString change = ChangeText(diff.change);
    const QString title = RecordTitle(diff);
    if (diff.change != TRecordChange::Changed) {
        AddRow(group,
               {title + QStringLiteral(": ") + change, Summary(diff.kind, diff.mine),
                Summary(diff.kind, diff.theirs)},
               index, -1, diff.question);
        return;
    }
    // The fields of the group's own record (the action, the header) stand
    // under the group itself; those of a child or a contact under its row.
    QTreeWidgetItem *record = diff.kind == TMergeKind::Action || diff.kind == TMergeKind::Header
                                  ? group
                                  : new QTreeWidgetItem(group, QStringList{title});
    for (int field = 0; field < diff.fields.size(); ++field) {
        const TFieldDiff &f = diff.fields[field];
        AddRow(record,
               {f.field + (f.fieldClass == TFieldClass::Theirs ? QStringLiteral(" (changed there)")
                           : f.fieldClass == TFieldClass::Mine ? QStringLiteral(" (changed here)")
                                                               : QString()),
                ValueText(f.mine, kValueLength), ValueText(f.theirs, kValueLength)},
               index, field, f.question);
    }
}

QTreeWidgetItem *TFormMerge::AddRow(QTreeWidgetItem *parent, const QStringList &texts, int diff, int field,
                                    bool question)
{
    auto *item = new QTreeWidgetItem(parent, texts);
    item->setData(ColumnTakeTheirs, DiffRole, diff);
    item->setData(ColumnTakeTheirs, FieldRole, field);
    item->setToolTip(ColumnHere, texts.value(ColumnHere));
    item->setToolTip(ColumnThere, texts.value(ColumnThere));
    if (question) {
        QFont bold = item->font(ColumnDifference);
        bold.setBold(true);
        for (int column = 0; column < ColumnCount; ++column)
            item->setFont(column, bold);
    }
    if (field < 0 && plan_.diffs[diff].follows >= 0) {
        // Comes or goes with its action: no choice of its own.
        item->setText(ColumnTakeTheirs, QStringLiteral("with its action"));
        item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
    } else {
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        choiceRows_.append(item);
    }
    return item;
}

void TFormMerge::ShowChoices()
{
    showing_ = true;
    for (QTreeWidgetItem *item : std::as_const(choiceRows_)) {
        const int diff = item->data(ColumnTakeTheirs, DiffRole).toInt();
        const int field = item->data(ColumnTakeTheirs, FieldRole).toInt();
        const TChoice choice = field < 0 ? plan_.diffs[diff].choice : plan_.diffs[diff].fields[field].choice;
        item->setCheckState(ColumnTakeTheirs, choice == TChoice::TakeTheirs ? Qt::Checked : Qt::Unchecked);
    }
    showing_ = false;
}

void TFormMerge::ItemChanged(QTreeWidgetItem *item, int column)
{
    if (showing_ || column != ColumnTakeTheirs || !(item->flags() & Qt::ItemIsUserCheckable))
        return;
    const int diff = item->data(ColumnTakeTheirs, DiffRole).toInt();
    const int field = item->data(ColumnTakeTheirs, FieldRole).toInt();
    const TChoice choice =
        item->checkState(ColumnTakeTheirs) == Qt::Checked ? TChoice::TakeTheirs : TChoice::KeepMine;
    if (field < 0)
        plan_.SetChoice(diff, choice);
    else
        plan_.SetFieldChoice(diff, field, choice);
}

void TFormMerge::SetAll(TChoice choice)
{
    for (int diff = 0; diff < plan_.diffs.size(); ++diff)
        plan_.SetChoice(diff, choice);
    ShowChoices();
}
