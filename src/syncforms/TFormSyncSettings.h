#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Synchronise Settings" of an Action File: the server, the user name, the
// password and the task list, chosen from those the server offers ("Test
// Connection" lists them). OK keeps the task list and user for the file and
// the password in the keyring, never in a file.
class TFormSyncSettings : public QDialog {
    Q_OBJECT
public:
    TFormSyncSettings(const QString &actFile, QWidget *parent = nullptr);

    QLineEdit *EditServer;
    QLineEdit *EditUser;
    QLineEdit *EditPassword;
    QComboBox *ComboTaskList;
    QPushButton *ButtonTestConnection;
    QLabel *LabelConnection;

    void ButtonTestConnectionClick();
    void accept() override;

private:
    QString actFile_;
    bool plainHttpConfirmed_ = false;
};
