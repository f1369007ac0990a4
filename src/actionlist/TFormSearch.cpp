#include "TFormSearch.h"

#include "ActionGrid.h"
#include "ActionSearch.h"
#include "AppIcon.h"
#include "Formats.h"
#include "SearchActionFile.h"
#include "TSettings.h"
#include "TTableModel.h"
#include "WindowActions.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QString Caption(int count, const QString &text)
{
    return (count == 1 ? QStringLiteral("1 Search Result") : QStringLiteral("%1 Search Results").arg(count)) +
           QStringLiteral(" for Search String \"") + text + QLatin1Char('"');
}

} // namespace

TFormSearch::TFormSearch(const TActionListFile &file, const QString &text, QWidget *parent)
    : QDialog(parent), file_(file), data_(file.data), text_(text)
{
    setObjectName(QStringLiteral("FormSearch"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    resize(760, 480);
    TTable *hits = data_.cdsActionsSearch;
    setWindowTitle(Caption(hits->RecordCount(), text));

    ActionOpen = NewWindowAction(this, "ActionOpen", QStringLiteral("&Open"),
                                 QStringLiteral("Open the selected Search Result"),
                                 QStringLiteral("Open the selected Search Result"));
    ActionGotoAction =
        NewWindowAction(this, "ActionGotoAction", QStringLiteral("&Go to Action"),
                        QStringLiteral("Go to the Action containing the selected Search Result"),
                        QStringLiteral("Go to the Action containing the selected Search Result"));
    ActionSearchAgain = NewWindowAction(this, "ActionSearchAgain", QStringLiteral("&Search Again"),
                                        QStringLiteral("Search Again"),
                                        QStringLiteral("Search the Action File for another Text"));
    connect(ActionOpen, &QAction::triggered, this, &TFormSearch::ActionOpenExecute);
    connect(ActionSearchAgain, &QAction::triggered, this, [this] {
        searchAgain_ = true;
        accept();
    });
    connect(ActionGotoAction, &QAction::triggered, this, &TFormSearch::ActionGotoActionExecute);

    DBGridSearch = new QTableView(this);
    DBGridSearch->setObjectName(QStringLiteral("DBGridSearch"));
    DBGridSearch->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGridSearch->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGridSearch->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGridSearch->setContextMenuPolicy(Qt::CustomContextMenu);
    DBGridSearch->verticalHeader()->setDefaultSectionSize(DBGridSearch->fontMetrics().height() + 6);
    DBGridSearch->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGridSearch->horizontalHeader()->setStretchLastSection(true);
    model_ = new TTableModel(hits,
                             {{QStringLiteral("ID_ACTION"), QStringLiteral("Action ID")},
                              {QStringLiteral("LOG_STATUS_LINE"), QStringLiteral("Log Status Line")},
                              {QStringLiteral("DECISION_SYNOPSIS"), QStringLiteral("Decision Synopsis")},
                              {QStringLiteral("STATEMENT_SYNOPSIS"), QStringLiteral("Statement Synopsis")}},
                             this);
    // Colour coding is read when the window is made, as in the action list.
    if (Settings().Actions.ColorCoding) {
        const int foundIn = hits->FieldIndex(QStringLiteral("FOUND_IN"));
        model_->SetRowColorRule([foundIn](TTable &table, int row, bool selected) {
            const QVariant kind = table.ValueAt(row, foundIn);
            return SearchRowColors(kind.isValid() ? kind.toInt() : -1, selected);
        });
        DBGridSearch->setItemDelegate(new TRowColorDelegate(DBGridSearch));
    }
    model_->BindView(DBGridSearch);
    connect(DBGridSearch, &QAbstractItemView::doubleClicked, ActionOpen, &QAction::trigger);

    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    PopupMenu->addAction(ActionGotoAction);
    connect(DBGridSearch, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { PopupMenu->popup(DBGridSearch->viewport()->mapToGlobal(at)); });

    DBMemoTextFound = new QPlainTextEdit(this);
    DBMemoTextFound->setObjectName(QStringLiteral("DBMemoTextFound"));
    DBMemoTextFound->setReadOnly(true);
    DBMemoTextFound->setFixedHeight(DBMemoTextFound->fontMetrics().height() * 4 + 12);
    DBEditFieldName = new QLineEdit(this);
    DBEditFieldName->setObjectName(QStringLiteral("DBEditFieldName"));
    DBEditFieldName->setReadOnly(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(DBGridSearch, 1);
    auto *textLabel = new QLabel(QStringLiteral("Text Found:"), this);
    textLabel->setBuddy(DBMemoTextFound);
    layout->addWidget(textLabel);
    layout->addWidget(DBMemoTextFound);
    auto *fieldLabel = new QLabel(QStringLiteral("Found in Field:"), this);
    fieldLabel->setBuddy(DBEditFieldName);
    layout->addWidget(fieldLabel);
    layout->addWidget(DBEditFieldName);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(CreateNavigator());
    buttons->addStretch(1);
    const auto button = [&](const char *name, QAction *action) {
        auto *push = new QPushButton(action->iconText(), this);
        push->setObjectName(QLatin1String(name));
        push->setToolTip(action->toolTip());
        push->setAutoDefault(false);
        connect(push, &QPushButton::clicked, action, &QAction::trigger);
        buttons->addWidget(push);
        return push;
    };
    ButtonOpen = button("ButtonOpen", ActionOpen);
    ButtonGotoAction = button("ButtonGotoAction", ActionGotoAction);
    ButtonSearchAgain = button("ButtonSearchAgain", ActionSearchAgain);
    ButtonClose = new QPushButton(QStringLiteral("&Close"), this);
    ButtonClose->setObjectName(QStringLiteral("ButtonClose"));
    ButtonClose->setAutoDefault(false);
    connect(ButtonClose, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(ButtonClose);
    layout->addLayout(buttons);

    connect(hits, &TTable::DataChange, this, &TFormSearch::ShowCurrent);
    ShowCurrent();
    DBGridSearch->setFocus();
}

QWidget *TFormSearch::CreateNavigator()
{
    auto *navigator = new QWidget(this);
    navigator->setObjectName(QStringLiteral("DBNavigatorSearch"));
    auto *row = new QHBoxLayout(navigator);
    row->setContentsMargins(0, 0, 0, 0);
    struct Step {
        const char *name;
        const char *icon;
        const char *hint;
        void (TTable::*move)();
    };
    static const Step steps[] = {
        {"ButtonFirst", "go-first", "Go to the First Search Result", &TTable::First},
        {"ButtonPrevious", "go-previous", "Go to the Previous Search Result", &TTable::Prior},
        {"ButtonNext", "go-next", "Go to the Next Search Result", &TTable::Next},
        {"ButtonLast", "go-last", "Go to the Last Search Result", &TTable::Last},
    };
    TTable *hits = data_.cdsActionsSearch;
    for (const Step &step : steps) {
        auto *button = new QToolButton(navigator);
        button->setObjectName(QLatin1String(step.name));
        button->setIcon(AppIcon(QLatin1String(step.icon)));
        button->setToolTip(QLatin1String(step.hint));
        button->setFixedWidth(36);
        const auto move = step.move;
        connect(button, &QToolButton::clicked, this, [hits, move] {
            if (hits->Active())
                (hits->*move)();
        });
        row->addWidget(button);
    }
    return navigator;
}

void TFormSearch::ShowCurrent()
{
    TTable *hits = data_.cdsActionsSearch;
    const bool has = hits->Active() && !hits->IsEmpty();
    DBMemoTextFound->setPlainText(has ? hits->FieldByName(QStringLiteral("TEXT_FOUND")).AsString()
                                      : QString());
    DBEditFieldName->setText(has ? hits->FieldByName(QStringLiteral("IN_FIELD_NAME")).AsString() : QString());
    DBEditFieldName->setCursorPosition(0);
    HighlightMatches();
}

void TFormSearch::HighlightMatches()
{
    // The search compares upper-cased text; so does the highlight.
    const QString found = DBMemoTextFound->toPlainText();
    const QString upper = UpperCase(found);
    const QString wanted = UpperCase(text_);
    QList<QTextEdit::ExtraSelection> matches;
    QTextCharFormat marked;
    marked.setBackground(palette().brush(QPalette::Highlight));
    marked.setForeground(palette().brush(QPalette::HighlightedText));
    // Upper-casing can change a text's length (German sharp s); the
    // positions then no longer fit and nothing is marked.
    if (!wanted.isEmpty() && upper.size() == found.size()) {
        for (qsizetype at = upper.indexOf(wanted); at >= 0; at = upper.indexOf(wanted, at + wanted.size())) {
            QTextEdit::ExtraSelection match;
            match.format = marked;
            match.cursor = QTextCursor(DBMemoTextFound->document());
            match.cursor.setPosition(int(at));
            match.cursor.setPosition(int(at + wanted.size()), QTextCursor::KeepAnchor);
            matches.append(match);
        }
    }
    DBMemoTextFound->setExtraSelections(matches);
}

void TFormSearch::ActionOpenExecute()
{
    OpenSearchResult(file_, this);
}

void TFormSearch::ActionGotoActionExecute()
{
    TTable *hits = data_.cdsActionsSearch;
    if (!hits->Active() || hits->IsEmpty())
        return;
    chosenAction_ = hits->FieldByName(QStringLiteral("ID_ACTION_ID")).AsInteger();
    accept();
}
