#pragma once

#include "TFormEditorBase.h"

// The window that edits the open Action File's header, the one record of
// cdsAction, which the caller put in edit state. OK posts it into the
// in-memory table; closing, however, cancels what was not posted.
class TFormProperties : public TFormEditorBase {
    Q_OBJECT
public:
    explicit TFormProperties(TDataModuleMain &data, QWidget *parent = nullptr,
                             TEditorServices *services = nullptr);
    ~TFormProperties() override;

    QAction *ActionPrint = nullptr;

protected:
    void OkClicked() override;
    QString EditCaption() const override;
    void EditorClosing() override;
    void showEvent(QShowEvent *event) override;

private:
    bool shown_ = false;
};
