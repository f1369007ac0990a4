#pragma once

#include <QString>
#include <optional>

class QWidget;

// What the record editors ask of the windows above them. The window that
// opens an editor passes its services in; an editor opened without them uses
// the contact editor directly and reloads nothing.
class TEditorServices {
public:
    virtual ~TEditorServices() = default;

    // Whether a contact editor is there; without one the new-contact and
    // find-contact buttons are shown disabled.
    virtual bool HasContactEditor() const = 0;
    // Appends a contact, lets the user edit it and returns its ID; nothing
    // when no contact was saved.
    virtual std::optional<QString> NewContact(QWidget *parent) = 0;
    // Opens the contact whose ID is id.
    virtual void FindContact(QWidget *parent, const QString &id) = 0;
    // Closes and reopens the open Action File, after a new log entry was
    // carried over into its action.
    virtual void ReloadActionFile() = 0;
};
