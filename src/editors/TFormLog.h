#pragma once

#include "TFormEditorBase.h"

#include <functional>

// The window in which one log entry of the current action is created,
// edited or viewed. It works on the current record of cdsLog, which the
// caller has put into insert (emNew) or edit state (emEdit, emView). A new
// entry saved with Actions.TransferData on is carried over into its action,
// after which the Action File is reloaded through the hook the action list
// sets with SetReloadActionFile.
class TFormLog : public TFormEditorBase {
    Q_OBJECT
public:
    explicit TFormLog(TEditorMode mode, QWidget *parent = nullptr);
    ~TFormLog() override;

    // The action list's ReloadActionFile; run after an entry was carried over.
    void SetReloadActionFile(std::function<void()> reload) { reloadActionFile_ = std::move(reload); }

    QAction *ActionPrint = nullptr;

protected:
    void OkClicked() override;
    QString EditCaption() const override;
    void EditorClosing() override;
    void showEvent(QShowEvent *event) override;

private:
    bool Validate();
    void SaveEntry();
    void CarryOver();

    std::function<void()> reloadActionFile_;
    bool shown_ = false;
};
