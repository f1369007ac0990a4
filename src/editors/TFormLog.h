#pragma once

#include "TFormEditorBase.h"

class TField;

// The window in which one log entry of the current action is created,
// edited or viewed. It works on the current record of cdsLog, which the
// caller has put into insert (emNew) or edit state (emEdit, emView). A new
// entry saved with Actions.TransferData on is carried over into its action,
// after which the Action File is reloaded through the services of the window
// that opened the editor.
class TFormLog : public TFormEditorBase {
    Q_OBJECT
public:
    TFormLog(TDataModuleMain &data, TEditorMode mode, QWidget *parent = nullptr,
             TEditorServices *services = nullptr);
    ~TFormLog() override;

    QAction *ActionPrint = nullptr;

protected:
    void OkClicked() override;
    QString EditCaption() const override;
    void EditorClosing() override;
    void showEvent(QShowEvent *event) override;

private:
    TTable *Log() const;
    TField LogField(const QString &name) const;
    bool Validate();
    void SaveEntry();
    void CarryOver();

    bool shown_ = false;
};
