#pragma once

#include "EditorMode.h"
#include "EditorServices.h"
#include "ScopeGuards.h"
#include "TFieldBinder.h"

#include <QDialog>
#include <QList>
#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QFormLayout;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolBar;
class QToolButton;
class TDataModuleMain;
class TTable;

// A contact field: an editable drop-down of contact identifiers with its
// "..." (new contact) and magnifier (find contact) buttons.
struct TContactField {
    QString field;
    QComboBox *combo = nullptr;
    QToolButton *newButton = nullptr;
    QToolButton *findButton = nullptr;
};

// What the record editors share: the mode and its caption suffix, field
// bindings, contact choices with their buttons, memo zoom, the toolbar with
// Previous, Next and Copy to Clipboard, the OK/Apply/Cancel buttons, and the
// clean-up that runs once when the window closes.
class TFormEditorBase : public QDialog {
    Q_OBJECT
public:
    ~TFormEditorBase() override;

    TEditorMode Mode() const { return mode_; }

    QAction *ActionPrevious = nullptr;
    QAction *ActionNext = nullptr;
    QAction *ActionCopyClipBoard = nullptr;

    void done(int result) override;

protected:
    // data: the open Action File's data module, table one of its tables;
    // services: what the window that opens the editor offers; may be null.
    TFormEditorBase(TDataModuleMain &data, TEditorMode mode, TTable *table, QWidget *parent,
                    TEditorServices *services);

    TDataModuleMain &Data() const { return data_; }
    TEditorServices *Services() const { return services_; }
    // The services' contact commands, or the contact editor's own when the
    // editor was opened without services.
    TEditorServices &ContactServices() const;

    TFieldBinder &Binder() { return binder_; }
    void SetMode(TEditorMode mode) { mode_ = mode; }
    // Sets the window title; in emView " [READ ONLY]" is appended.
    void SetCaption(const QString &caption);

    // Form rows, each bound to its field.
    QLineEdit *AddTextField(QFormLayout *form, const QString &label, const QString &field);
    QComboBox *AddChoiceField(QFormLayout *form, const QString &label, const QString &field,
                              const QStringList &items);
    QPlainTextEdit *AddMemoField(QFormLayout *form, const QString &label, const QString &field,
                                 const QString &zoomCaption);
    // The contact row; the new-contact button of `index` sets its own field
    // and adds the new ID to the choices of every contact field.
    TContactField &AddContactField(QFormLayout *form, const QString &label, const QString &field);
    const QList<TContactField> &ContactFields() const { return contactFields_; }
    // Fills every contact drop-down with the IDs of cdsActor, sorted.
    void FillContactChoices();

    // The toolbar in the order previous, next, spacer, print, copy. The
    // print action is named and hinted by the subclass and starts disabled;
    // the subclass connects it and enables it in the modes that print.
    QToolBar *CreateRecordToolBar(const QString &previousHint, const QString &nextHint,
                                  const QString &printName, const QString &printHint);
    QToolBar *RecordToolBar() const { return recordToolBar_; }
    QAction *RecordPrintAction() const { return printAction_; }
    void SetNavigationVisible(bool visible);

    // The form's rows on a page of their own that scrolls where the screen is
    // too small for them, so the buttons below stay on the screen.
    QWidget *ScrollingFields(QFormLayout *form);

    // The row below the fields: the record toolbar (or tools, when given)
    // and extras on the left, OK, Apply (hidden in emView or when not
    // wanted) and Cancel on the right.
    QWidget *CreateButtons(bool withApply, QWidget *tools = nullptr, QWidget *extras = nullptr);
    QPushButton *ButtonOK = nullptr;
    QPushButton *ButtonApply = nullptr;
    QPushButton *ButtonCancel = nullptr;

    // Shows a message about a missing or invalid value and focuses the field.
    void RefuseField(QWidget *field, const QString &text, const QString &caption);
    // Checks the typed dates and times; on a bad one tells the user, focuses
    // it and returns false.
    bool CheckTypedValues();
    // Checks that each field, in the given order, holds more than blanks;
    // the first one that does not is reported by its name ("Please enter a
    // Value for "<name>"") and focused, and false returned.
    bool RequireValues(const QList<QPair<QString, QString>> &fieldsAndNames);
    // Before a sheet or digest is printed: writes what the fields show into
    // the record buffer (nothing is posted), so the page shows the window's
    // values. A date or time that does not parse is reported and focused,
    // and false returned. In emView there is nothing typed to write.
    bool StoreShownValues();
    // OK of an editor that closes on OK: in emView closes without saving;
    // otherwise, when valid, saves and closes, also when saving failed.
    void SaveAndClose(const std::function<bool()> &valid, const std::function<void()> &save);

    // Focuses the widget of a field; memos get their whole text selected.
    void FocusField(const QString &field, bool selectAll);
    // In emView: focuses the field in which the search found its text, by
    // the hit's IN_FIELD_NUMBER, an index into fieldOrder.
    void FocusSearchHit(const QStringList &fieldOrder);
    // In emView: focuses the field numbered number in fieldOrder; other
    // numbers leave the focus where it is.
    void FocusSearchField(const QStringList &fieldOrder, int number);
    // Fills the contact choices and shows the current record; in emView
    // every field is made read-only.
    void ShowRecord();

    virtual void OkClicked() = 0;
    virtual void ApplyClicked() {}
    // Caption of emEdit for the current record.
    virtual QString EditCaption() const = 0;
    // Around a move by Previous or Next: before it, and after it also when
    // it failed, with the record back in edit state and shown.
    virtual void BeforeStep() {}
    virtual void AfterStep() {}
    // Runs once when the window closes, however it is closed.
    virtual void EditorClosing() = 0;
    // Subclasses call this from their destructors, for a window that was
    // never shown or closed; errors are swallowed there.
    void CloseOnce();
    void CloseOnceQuietly() noexcept;

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QComboBox *NewChoiceBox(const QString &field);
    void MakeFieldsReadOnly();
    // Previous and Next, only in emEdit: drops unsaved edits, moves within
    // the table's current order and filter, and edits the record it lands on.
    void StepRecord(bool next);
    void ZoomMemo(QPlainTextEdit *memo, const QString &caption);
    void ShowMemoMenu(QPlainTextEdit *memo, QAction *zoom, const QPoint &at);
    void NewContactClicked(int index);

    TDataModuleMain &data_;
    TEditorMode mode_;
    TEditorServices *services_;
    // The contact editor's own commands, for an editor opened without services.
    std::unique_ptr<TEditorServices> contactEditor_;
    TFieldBinder binder_;
    QList<TContactField> contactFields_;
    // Each memo with its zoom command.
    QList<QPair<QPlainTextEdit *, QAction *>> zoomMemos_;
    QToolBar *recordToolBar_ = nullptr;
    QAction *navigationSpacer_ = nullptr;
    QAction *printAction_ = nullptr;
    bool closed_ = false;
};
