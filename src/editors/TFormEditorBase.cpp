#include "TFormEditorBase.h"

#include "AppIcon.h"
#include "DateEntry.h"
#include "ScopeGuards.h"
#include "ScreenFit.h"
#include "TChoiceBox.h"
#include "TDataModuleMain.h"
#include "TFormActor.h"
#include "TFormZoomMemo.h"
#include "UiServices.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// Adds text to a drop-down's choices, keeping them sorted as the contact
// index sorts (case-insensitive), without touching the typed text.
void AddChoice(QComboBox *combo, const QString &text)
{
    const QSignalBlocker blocker(combo);
    const QString typed = combo->currentText();
    int at = 0;
    while (at < combo->count() && combo->itemText(at).compare(text, Qt::CaseInsensitive) <= 0)
        ++at;
    combo->insertItem(at, text);
    combo->setEditText(typed);
}

} // namespace

TFormEditorBase::TFormEditorBase(TDataModuleMain &data, TEditorMode mode, TTable *table, QWidget *parent,
                                 TEditorServices *services)
    : QDialog(parent), data_(data), mode_(mode), services_(services),
      contactEditor_(std::make_unique<TContactEditorServices>(data)), binder_(table)
{
    setModal(true);
    setMinimumWidth(520);
}

TFormEditorBase::~TFormEditorBase() = default;

void TFormEditorBase::SetCaption(const QString &caption)
{
    setWindowTitle(mode_ == emView ? caption + QStringLiteral(" [READ ONLY]") : caption);
}

QLineEdit *TFormEditorBase::AddTextField(QFormLayout *form, const QString &label, const QString &field)
{
    auto *edit = new QLineEdit(this);
    edit->setObjectName(QStringLiteral("Edit") + field);
    const TTable *table = binder_.Table();
    if (const int index = table->FieldIndex(field); index >= 0) {
        const TFieldType type = table->FieldDefs()[index].type;
        if (type == ftDate) {
            edit->setPlaceholderText(QStringLiteral("dd/mm/yyyy"));
            AddCalendarDropDown(edit);
        } else if (type == ftTime)
            edit->setPlaceholderText(QStringLiteral("hh:mm:ss"));
        if (type == ftDate || type == ftTime)
            MarkInvalidEntries(edit, type == ftDate);
    }
    form->addRow(label, edit);
    binder_.Bind(field, edit);
    binder_.SetName(field,
                    QString(label).remove(QLatin1Char('&')).remove(QRegularExpression(QStringLiteral(":$"))));
    return edit;
}

QComboBox *TFormEditorBase::AddChoiceField(QFormLayout *form, const QString &label, const QString &field,
                                           const QStringList &items)
{
    QComboBox *combo = NewChoiceBox(field);
    combo->addItems(items);
    combo->setEditText(QString());
    form->addRow(label, combo);
    return combo;
}

QComboBox *TFormEditorBase::NewChoiceBox(const QString &field)
{
    auto *combo = new TChoiceBox(this);
    combo->setObjectName(QStringLiteral("ComboBox") + field);
    binder_.Bind(field, combo);
    return combo;
}

QPlainTextEdit *TFormEditorBase::AddMemoField(QFormLayout *form, const QString &label, const QString &field,
                                              const QString &zoomCaption)
{
    auto *memo = new QPlainTextEdit(this);
    memo->setObjectName(QStringLiteral("Memo") + field);
    memo->setTabChangesFocus(true);
    // The larger window opens by double-click, by Ctrl+E and from the
    // context menu, which shows the shortcut.
    auto *zoom = new QAction(QStringLiteral("Open in a larger &Window"), memo);
    zoom->setObjectName(QStringLiteral("ActionZoom") + field);
    zoom->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    zoom->setShortcutContext(Qt::WidgetShortcut);
    memo->addAction(zoom);
    connect(zoom, &QAction::triggered, this, [this, memo, zoomCaption] { ZoomMemo(memo, zoomCaption); });
    memo->setToolTip(QStringLiteral("Double-click or press %1 to open the text in a larger window")
                         .arg(zoom->shortcut().toString(QKeySequence::NativeText)));
    memo->installEventFilter(this);
    memo->viewport()->installEventFilter(this);
    zoomMemos_.append({memo, zoom});
    form->addRow(label, memo);
    binder_.Bind(field, memo);
    return memo;
}

TContactField &TFormEditorBase::AddContactField(QFormLayout *form, const QString &label, const QString &field)
{
    TContactField contact;
    contact.field = field;
    contact.combo = NewChoiceBox(field);
    contact.combo->setMaxVisibleItems(12);
    contact.combo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    contact.newButton = new QToolButton(this);
    contact.newButton->setObjectName(QStringLiteral("ButtonNew") + field);
    contact.newButton->setText(QStringLiteral("..."));
    contact.newButton->setToolTip(QStringLiteral("Enter a new Contact"));
    // Also where the record is only shown: the new contact itself is saved.
    const bool contacts = ContactServices().HasContactEditor();
    contact.newButton->setEnabled(contacts);

    contact.findButton = new QToolButton(this);
    contact.findButton->setObjectName(QStringLiteral("ButtonFind") + field);
    contact.findButton->setIcon(AppIcon(QStringLiteral("edit-find")));
    contact.findButton->setToolTip(QStringLiteral("Find the Contact"));
    contact.findButton->setEnabled(contacts);

    auto *row = new QHBoxLayout;
    row->addWidget(contact.combo);
    row->addWidget(contact.newButton);
    row->addWidget(contact.findButton);
    // A label of its own, so its mnemonic focuses the drop-down.
    auto *caption = new QLabel(label, this);
    caption->setBuddy(contact.combo);
    form->addRow(caption, row);

    const int index = int(contactFields_.size());
    connect(contact.newButton, &QToolButton::clicked, this, [this, index] { NewContactClicked(index); });
    QComboBox *combo = contact.combo;
    connect(contact.findButton, &QToolButton::clicked, this, [this, combo] {
        if (ContactServices().HasContactEditor())
            ContactServices().FindContact(this, combo->currentText());
    });
    contactFields_.append(contact);
    return contactFields_.last();
}

void TFormEditorBase::NewContactClicked(int index)
{
    if (!ContactServices().HasContactEditor())
        return;
    const std::optional<QString> created = ContactServices().NewContact(this);
    if (!created)
        return;
    const QString &id = *created;
    // The other fields learn the new ID first, then the field whose button
    // was pressed takes it and shows it selected; a record only shown keeps
    // its value.
    for (int i = 0; i < contactFields_.size(); ++i) {
        if (i != index)
            AddChoice(contactFields_[i].combo, id);
    }
    QComboBox *combo = contactFields_[index].combo;
    AddChoice(combo, id);
    if (mode_ == emView)
        return;
    combo->setCurrentIndex(combo->findText(id));
    combo->setEditText(id);
    combo->setFocus();
}

TEditorServices &TFormEditorBase::ContactServices() const
{
    return services_ ? *services_ : *contactEditor_;
}

void TFormEditorBase::FillContactChoices()
{
    // Without contact fields the contacts' cursor is left alone: the contact
    // editor works on it.
    TTable *actors = data_.cdsActor;
    if (contactFields_.isEmpty() || !actors->Active())
        return;
    BusyCursor busy;
    QStringList ids;
    const QString previousIndex = actors->IndexName();
    {
        const TControlsDisabled disabled(actors);
        TryFinally(
            [&] {
                actors->SetIndexName(QStringLiteral("ID_ASC"));
                const TField id = actors->FieldByName(QStringLiteral("ID"));
                for (actors->First(); !actors->Eof(); actors->Next())
                    ids.append(id.AsString());
            },
            [&] {
                actors->SetIndexName(previousIndex);
                actors->First();
            });
    }
    for (const TContactField &contact : contactFields_) {
        const QSignalBlocker blocker(contact.combo);
        const QString typed = contact.combo->currentText();
        contact.combo->clear();
        contact.combo->addItems(ids);
        contact.combo->setEditText(typed);
    }
}

QToolBar *TFormEditorBase::CreateRecordToolBar(const QString &previousHint, const QString &nextHint,
                                               const QString &printName, const QString &printHint)
{
    recordToolBar_ = new QToolBar(this);
    recordToolBar_->setObjectName(QStringLiteral("ToolBarRecord"));
    recordToolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);

    ActionPrevious = new QAction(AppIcon(QStringLiteral("go-previous")), QString(), this);
    ActionPrevious->setObjectName(QStringLiteral("ActionPrevious"));
    ActionPrevious->setToolTip(previousHint);
    ActionPrevious->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    connect(ActionPrevious, &QAction::triggered, this, [this] { StepRecord(false); });

    ActionNext = new QAction(AppIcon(QStringLiteral("go-next")), QString(), this);
    ActionNext->setObjectName(QStringLiteral("ActionNext"));
    ActionNext->setToolTip(nextHint);
    ActionNext->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    connect(ActionNext, &QAction::triggered, this, [this] { StepRecord(true); });

    ActionCopyClipBoard = new QAction(AppIcon(QStringLiteral("edit-copy")), QString(), this);
    ActionCopyClipBoard->setObjectName(QStringLiteral("ActionCopyClipBoard"));
    ActionCopyClipBoard->setToolTip(QStringLiteral("Copy the Contents of this Form to the ClipBoard"));
    connect(ActionCopyClipBoard, &QAction::triggered, this, [this] { Ui().CopyWindowPicture(this); });

    recordToolBar_->addAction(ActionPrevious);
    recordToolBar_->addAction(ActionNext);
    navigationSpacer_ = recordToolBar_->addSeparator();
    printAction_ = new QAction(AppIcon(QStringLiteral("document-print")), QString(), this);
    printAction_->setObjectName(printName);
    printAction_->setToolTip(printHint);
    printAction_->setEnabled(false);
    recordToolBar_->addAction(printAction_);
    recordToolBar_->addAction(ActionCopyClipBoard);
    // The shortcuts work wherever the focus is in the window.
    addAction(ActionPrevious);
    addAction(ActionNext);
    return recordToolBar_;
}

void TFormEditorBase::StepRecord(bool next)
{
    if (mode_ != emEdit)
        return;
    TTable *table = binder_.Table();
    BeforeStep();
    TryFinally(
        [&] {
            table->Cancel();
            if (next)
                table->Next();
            else
                table->Prior();
            SetCaption(EditCaption());
        },
        [&] {
            table->Edit();
            binder_.Load();
            AfterStep();
        });
}

void TFormEditorBase::SetNavigationVisible(bool visible)
{
    ActionPrevious->setVisible(visible);
    ActionNext->setVisible(visible);
    navigationSpacer_->setVisible(visible);
}

QWidget *TFormEditorBase::ScrollingFields(QFormLayout *form)
{
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("PageFields"));
    form->setContentsMargins(0, 0, 0, 0);
    page->setLayout(form);
    return new TScrollPage(page, this);
}

QWidget *TFormEditorBase::CreateButtons(bool withApply, QWidget *tools, QWidget *extras)
{
    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("PanelButtons"));
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    // The record's commands sit beside OK, so the fields start at the top of
    // the window and the buttons follow the last field directly.
    if (QWidget *left = tools ? tools : recordToolBar_) {
        // The tools' room as they show now, with all their commands, stays
        // when a mode hides some or all of them: one window size in all modes.
        auto *holder = new QWidget(panel);
        auto *holds = new QHBoxLayout(holder);
        holds->setContentsMargins(0, 0, 0, 0);
        holds->addWidget(left);
        left->ensurePolished();
        holder->setMinimumSize(left->sizeHint());
        row->addWidget(holder);
    }
    if (extras)
        row->addWidget(extras);
    row->addStretch();
    ButtonOK = new QPushButton(QStringLiteral("&OK"), panel);
    ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
    ButtonOK->setDefault(true);
    row->addWidget(ButtonOK);
    if (withApply) {
        ButtonApply = new QPushButton(QStringLiteral("Appl&y"), panel);
        ButtonApply->setObjectName(QStringLiteral("ButtonApply"));
        ButtonApply->setAutoDefault(false);
        row->addWidget(ButtonApply);
        connect(ButtonApply, &QPushButton::clicked, this, [this] { ApplyClicked(); });
    }
    ButtonCancel = new QPushButton(QStringLiteral("&Cancel"), panel);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    ButtonCancel->setAutoDefault(false);
    row->addWidget(ButtonCancel);
    // The row is as wide with Apply as without it, in every mode.
    panel->setMinimumWidth(panel->sizeHint().width());
    if (ButtonApply)
        ButtonApply->setVisible(mode_ != emView);
    // OK decides itself whether the window closes.
    connect(ButtonOK, &QPushButton::clicked, this, [this] { OkClicked(); });
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    return panel;
}

void TFormEditorBase::RefuseField(QWidget *field, const QString &text, const QString &caption)
{
    Ui().MessageBox(text, caption, MB_OK | MB_ICONEXCLAMATION);
    if (field)
        field->setFocus();
}

bool TFormEditorBase::CheckTypedValues()
{
    QString message;
    QWidget *invalid = binder_.Invalid(&message);
    if (!invalid)
        return true;
    RefuseField(invalid, message, QStringLiteral("Invalid Input"));
    return false;
}

bool TFormEditorBase::RequireValues(const QList<QPair<QString, QString>> &fieldsAndNames)
{
    for (const auto &[field, name] : fieldsAndNames) {
        if (binder_.Text(field).trimmed().isEmpty()) {
            RefuseField(binder_.Widget(field), QStringLiteral("Please enter a Value for \"%1\"").arg(name),
                        QStringLiteral("Missing Information"));
            return false;
        }
    }
    return true;
}

bool TFormEditorBase::StoreShownValues()
{
    const TDataSetState state = binder_.Table()->State();
    if (mode_ == emView || (state != dsEdit && state != dsInsert))
        return true;
    if (!CheckTypedValues())
        return false;
    binder_.Store();
    return true;
}

void TFormEditorBase::SaveAndClose(const std::function<bool()> &valid, const std::function<void()> &save)
{
    if (mode_ == emView) {
        binder_.Table()->Cancel();
        accept();
        return;
    }
    if (!valid())
        return;
    TryFinally([&] { save(); }, [&] { accept(); });
}

void TFormEditorBase::FocusField(const QString &field, bool selectAll)
{
    QWidget *widget = binder_.Widget(field);
    if (!widget)
        return;
    widget->setFocus();
    if (auto *memo = qobject_cast<QPlainTextEdit *>(widget); memo && selectAll)
        memo->selectAll();
}

void TFormEditorBase::FocusSearchHit(const QStringList &fieldOrder)
{
    TTable *hits = data_.cdsActionsSearch;
    if (mode_ != emView || !hits->Active() || hits->RecordCount() == 0)
        return;
    FocusSearchField(fieldOrder, hits->FieldByName(QStringLiteral("IN_FIELD_NUMBER")).AsInteger());
}

void TFormEditorBase::FocusSearchField(const QStringList &fieldOrder, int number)
{
    if (mode_ == emView && number >= 0 && number < fieldOrder.size())
        FocusField(fieldOrder[number], true);
}

void TFormEditorBase::ShowRecord()
{
    FillContactChoices();
    binder_.Load();
    if (mode_ == emView)
        MakeFieldsReadOnly();
}

void TFormEditorBase::MakeFieldsReadOnly()
{
    // Shown, not changed: the texts still select and copy.
    for (QWidget *widget : binder_.Widgets()) {
        if (auto *edit = qobject_cast<QLineEdit *>(widget))
            edit->setReadOnly(true);
        else if (auto *memo = qobject_cast<QPlainTextEdit *>(widget))
            memo->setReadOnly(true);
        else if (auto *choice = qobject_cast<TChoiceBox *>(widget))
            choice->SetReadOnly(true);
        else
            widget->setEnabled(false);
    }
}

void TFormEditorBase::done(int result)
{
    CloseOnce();
    QDialog::done(result);
}

void TFormEditorBase::CloseOnce()
{
    if (closed_)
        return;
    closed_ = true;
    EditorClosing();
}

void TFormEditorBase::CloseOnceQuietly() noexcept
{
    try {
        CloseOnce();
    } catch (...) {
        // Nothing can be reported from a destructor; the caller's next
        // operation on the table finds its state as it is.
    }
}

bool TFormEditorBase::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::ShortcutOverride || type == QEvent::KeyPress) {
        // Ctrl+E is the text field's own "end of line" on some desktops: the
        // memo takes the key here, before the field or the shortcut sees it.
        const auto *key = static_cast<QKeyEvent *>(event);
        for (const auto &[memo, zoom] : zoomMemos_) {
            if (watched != memo || QKeySequence(key->keyCombination()) != zoom->shortcut())
                continue;
            event->accept();
            if (type == QEvent::KeyPress)
                zoom->trigger();
            return true;
        }
    }
    if (type == QEvent::MouseButtonDblClick || type == QEvent::ContextMenu) {
        for (const auto &[memo, zoom] : zoomMemos_) {
            if (watched != memo->viewport() && !(watched == memo && type == QEvent::ContextMenu))
                continue;
            if (type == QEvent::MouseButtonDblClick) {
                zoom->trigger();
                return true;
            }
            ShowMemoMenu(memo, zoom, static_cast<QContextMenuEvent *>(event)->globalPos());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormEditorBase::ShowMemoMenu(QPlainTextEdit *memo, QAction *zoom, const QPoint &at)
{
    // The field's own entries (undo, copy, paste, ...) and the zoom below.
    QMenu *menu = memo->createStandardContextMenu(memo->viewport()->mapFromGlobal(at));
    menu->setObjectName(QStringLiteral("PopupMenuMemo"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    menu->addAction(zoom);
    menu->popup(at);
}

void TFormEditorBase::ZoomMemo(QPlainTextEdit *memo, const QString &caption)
{
    // The zoom window works on the record buffer: it starts from the text
    // pending in the memo and hands its own back to the memo.
    const QString field = binder_.Field(memo);
    TTable *table = binder_.Table();
    TField value = table->FieldByName(field);
    const bool editing = table->State() == dsEdit || table->State() == dsInsert;
    if (editing && memo->toPlainText() != value.AsString())
        value.SetAsString(memo->toPlainText());
    {
        TFormZoomMemo zoom(this, data_.TempFiles, caption, field, table, memo->isReadOnly());
        TryFinally([&] { Ui().ExecModal(&zoom); }, [&] { binder_.Load(field); });
    }
    QTextCursor cursor = memo->textCursor();
    cursor.movePosition(QTextCursor::Start);
    memo->setTextCursor(cursor);
    memo->setFocus();
}
