#pragma once

#include <QString>
#include <optional>

class QWidget;

// Message box flags, with the values of the classic desktop API so that a
// message is described the same way everywhere: text, caption, flags.
enum MbFlag : unsigned {
    MB_OK = 0x0,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_DEFBUTTON2 = 0x100,
};

// Answers of a message box.
enum MbResult : int { IDOK = 1, IDYES = 6, IDNO = 7 };

// Options of the open-file and save-file dialogs. The filter is given as
// "Description|pattern", for example "Action Files|*.act".
struct FileDialogOptions {
    QString title;
    QString filter;
    QString initialDir;
    QString fileName;
    QString defaultExt;
    bool overwritePrompt = false; // save dialog: ask before replacing a file
    bool mustExist = true;        // open dialog: refuse names that do not exist
};

// The one seam between the program's logic and the desktop: every message
// box, input query, file or folder dialog, shell open, clipboard copy, busy
// cursor and modal window goes through it. Tests install a scripted fake.
class UiServices {
public:
    virtual ~UiServices() = default;

    virtual MbResult MessageBox(const QString &text, const QString &caption, unsigned flags) = 0;
    // Returns false on Cancel; on OK value holds what the user confirmed.
    virtual bool InputQuery(const QString &caption, const QString &prompt, QString &value) = 0;
    virtual std::optional<QString> OpenFileDialog(const FileDialogOptions &options) = 0;
    virtual std::optional<QString> SaveFileDialog(const FileDialogOptions &options) = 0;
    // Folder picker that also accepts a typed folder that does not exist yet
    // and creates it after asking.
    virtual std::optional<QString> SelectFolder(const QString &caption, const QString &startFolder) = 0;
    // Opens a file, folder, web address or mailto: address with the desktop's
    // associated program; nobody waits for it and its result is ignored.
    virtual void ShellOpen(const QString &target) = 0;
    // Puts a picture of the window's client area on the clipboard.
    virtual void CopyWindowPicture(QWidget *window) = 0;
    // Shows the window modally and returns when it has closed; for a dialog
    // the result is its QDialog result code.
    virtual int ExecModal(QWidget *window) = 0;

    virtual void BeginBusy() = 0;
    virtual void EndBusy() = 0;
};

// The installed services; the program installs the Qt implementation at
// start-up, tests install the fake.
UiServices &Ui();
void SetUi(UiServices *services);

// Shows the busy cursor for its lifetime, so the normal cursor comes back on
// every exit, errors included.
class BusyCursor {
public:
    BusyCursor() { Ui().BeginBusy(); }
    ~BusyCursor() { Ui().EndBusy(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};
