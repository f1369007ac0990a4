#include "ActionListEditors.h"

#include "ActionListOps.h"
#include "EditorServices.h"
#include "TDataModuleMain.h"
#include "TFormAction.h"
#include "TFormLog.h"
#include "UiServices.h"

namespace {

// What the editors opened from the action list get from it. There is no
// contact editor yet, so its buttons stay disabled.
class TActionListEditorServices final : public TEditorServices {
public:
    bool HasContactEditor() const override { return false; }
    QString NewContact(QWidget *) override { return QStringLiteral("0"); }
    void FindContact(QWidget *, const QString &) override {}
    void ReloadActionFile() override { ::ReloadActionFile(DataModuleMain()); }
};

} // namespace

void ShowActionEditor(TEditorMode mode, QWidget *parent)
{
    TActionListEditorServices services;
    TFormAction form(mode, parent, &services);
    Ui().ExecModal(&form);
}

void ShowLogEditor(TEditorMode mode, QWidget *parent)
{
    TActionListEditorServices services;
    TFormLog form(mode, parent, &services);
    Ui().ExecModal(&form);
}
