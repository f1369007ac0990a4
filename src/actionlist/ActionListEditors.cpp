#include "ActionListHooks.h"

#include "ActionListOps.h"
#include "TDataModuleMain.h"
#include "TFormAction.h"
#include "TFormLog.h"
#include "UiServices.h"

TActionListHooks &ActionListHooks()
{
    static TActionListHooks hooks;
    return hooks;
}

void ShowActionEditor(TEditorMode mode, QWidget *parent)
{
    TFormAction form(mode, parent);
    Ui().ExecModal(&form);
}

void ShowLogEditor(TEditorMode mode, QWidget *parent)
{
    TFormLog form(mode, parent);
    form.SetReloadActionFile([] { ReloadActionFile(DataModuleMain()); });
    Ui().ExecModal(&form);
}
