#pragma once

#include "Digest.h"

#include <QDate>
#include <QDialog>

class QCheckBox;
class QPushButton;
class QRadioButton;
class QToolBar;
class QToolButton;
class TDataModuleMain;

// The options window of the action digest ("Print Action Digest"). OK
// builds the page of the chosen options and shows it in the browser or
// saves it; the window stays open, so several digests can be made in a row.
// The choices are remembered in the settings when the window closes and
// come back when it opens again (the scope follows the opening mode).
class TFormDigest : public QDialog {
    Q_OBJECT
public:
    // The opening modes: the current action (from the action editor: scope
    // fixed, no index, no separator), or the action list (all actions with
    // index and separator, Prior and Next to move the current action).
    enum Mode { ActionMode = 1, ListMode = 2 };

    TFormDigest(int mode, TDataModuleMain &data, QWidget *parent = nullptr);

    int Mode() const { return mode_; }
    // The options as the controls hold them.
    TDigestOptions Options() const;
    // The date the digest is made on; the current date unless set.
    void SetToday(const QDate &today) { today_ = today; }

    QRadioButton *ScopeCurrent;
    QRadioButton *ScopeAll;
    QCheckBox *CheckBoxIndex;
    QCheckBox *CheckBoxProperties;
    QCheckBox *CheckBoxHeaders;
    QCheckBox *CheckBoxSeparate;
    QCheckBox *CheckBoxLogs;
    QCheckBox *CheckBoxLimitedLog;
    QCheckBox *CheckBoxDecisions;
    QCheckBox *CheckBoxStatements;
    QCheckBox *CheckBoxColors;
    QCheckBox *CheckBoxShowInBrowser;
    QToolBar *ToolBar;
    QToolButton *RzToolButtonPrior;
    QToolButton *RzToolButtonNext;
    QPushButton *RzBitBtnOK;
    QPushButton *RzBitBtnCancel;

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void Recall();
    void Remember() const;
    void RzRadioGroupScopeClick();
    void CheckBoxLogsClick();
    void RzBitBtnOKClick();

    int mode_;
    TDataModuleMain &data_;
    QDate today_;
    bool shown_ = false;
};
