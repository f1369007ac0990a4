#pragma once

#include "TSettings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class QTabWidget;

// The settings window: edits every setting except the window geometries.
// OK copies the controls into the settings object (it never writes the INI
// file); the caller asks WorkspaceChanged() afterwards to refresh its list
// and sets the bottom picture's hint from General.DravelinHint:
//     TFormSettings form(parent);
//     if (Ui().ExecModal(&form) == QDialog::Accepted && form.WorkspaceChanged())
//         RefreshFileList();
class TFormSettings : public QDialog {
    Q_OBJECT
public:
    explicit TFormSettings(QWidget *parent = nullptr, TSettings &settings = Settings());

    // True after OK when Folders.Actions changed other than in letter case.
    bool WorkspaceChanged() const { return workspaceChanged_; }

private Q_SLOTS:
    void CheckBoxColorCodingClick();
    void ButtonCheckURLClick();
    void RzBitBtnOKClick();
    void RzBitBtnCancelClick();

private:
    void BuildControls();
    void FormCreate();
    void SelectFolder(QLineEdit *field, const QString &caption);
    bool ValidateFolders();
    void StoreSettings();

    TSettings &settings_;
    bool workspaceChanged_ = false;

    QTabWidget *pageControl_ = nullptr;
    QWidget *tabFolders_ = nullptr;
    QCheckBox *generalConfirmOnExit_ = nullptr;
    QCheckBox *generalSaveLastWindow_ = nullptr;
    QCheckBox *makeBackup_ = nullptr;
    QCheckBox *showBottomPanel_ = nullptr;
    QLineEdit *dravelinURL_ = nullptr;
    QLineEdit *dravelinHint_ = nullptr;
    QLineEdit *folderActions_ = nullptr;
    QLineEdit *folderDravelin_ = nullptr;
    QLineEdit *folderAuxiliary_ = nullptr;
    QLineEdit *companyName_ = nullptr;
    QLineEdit *companyDepartment_ = nullptr;
    QCheckBox *actionsConfirmOnExit_ = nullptr;
    QCheckBox *actionsSaveLastWindow_ = nullptr;
    QCheckBox *transferData_ = nullptr;
    QCheckBox *colorCoding_ = nullptr;
    QSpinBox *dueDateIndicator_ = nullptr;
    QLineEdit *atributeSeparator_ = nullptr;
    QComboBox *filter_ = nullptr;
    QCheckBox *saveSettings_ = nullptr;
};
