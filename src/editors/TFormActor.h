#pragma once

#include "TFormEditorBase.h"

#include <optional>

class QLabel;

// How the contact editor was opened, and what its caller prepared on cdsActor.
enum TContactEditorMode {
    cmNew = 0,          // New of the contacts list, after Insert
    cmEdit = 1,         // Edit of the contacts list, after Edit
    cmNewForCaller = 2, // the "..." button of another editor, after Append
    cmEditFound = 3,    // FindContact, after locating the contact and Edit
};

// The window in which one contact, the current record of cdsActor, is
// created or edited. Closing it, however, cancels what was not posted.
class TFormActor : public TFormEditorBase {
    Q_OBJECT
public:
    TFormActor(TDataModuleMain &data, TContactEditorMode mode, QWidget *parent = nullptr);
    ~TFormActor() override;

    TContactEditorMode ContactMode() const { return contactMode_; }
    // In cmNewForCaller, the ID of the contact that OK posted; nothing as
    // long as no contact was posted (any ID, "0" included, is a contact).
    const std::optional<QString> &ContactResult() const { return contactResult_; }

    QLabel *LabelEmail1 = nullptr;
    QLabel *LabelEmail2 = nullptr;

protected:
    void OkClicked() override;
    QString EditCaption() const override;
    void EditorClosing() override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *AddEmailField(class QFormLayout *form, const char *name, const QString &label,
                          const QString &field);
    void SendEmail(const QString &field);

    TContactEditorMode contactMode_;
    std::optional<QString> contactResult_;
    bool shown_ = false;
};

// Appends a contact and lets the user create it in the contact editor, modal
// over parent; returns its ID when it was posted.
std::optional<QString> NewContactForCaller(TDataModuleMain &data, QWidget *parent);

// Opens the contact whose ID is text (case-insensitive, the first of equal
// IDs, the text untrimmed) in the contact editor, or says that there is none.
// The order of cdsActor is the same afterwards.
void FindContact(TDataModuleMain &data, const QString &text);

// The contact commands of the record editors, done by the contact editor.
class TContactEditorServices : public TEditorServices {
public:
    explicit TContactEditorServices(TDataModuleMain &data) : data_(data) {}
    bool HasContactEditor() const override { return true; }
    std::optional<QString> NewContact(QWidget *parent) override { return NewContactForCaller(data_, parent); }
    void FindContact(QWidget *, const QString &id) override { ::FindContact(data_, id); }
    void ReloadActionFile() override {}

private:
    TDataModuleMain &data_;
};
