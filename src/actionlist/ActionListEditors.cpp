#include "ActionListEditors.h"

#include "ActionFileOpen.h"
#include "ActionListOps.h"
#include "EditorServices.h"
#include "ScopeGuards.h"
#include "TDataModuleMain.h"
#include "TFormAction.h"
#include "TFormActor.h"
#include "TFormActors.h"
#include "TFormDecision.h"
#include "TFormLog.h"
#include "TFormProperties.h"
#include "UiServices.h"

namespace {

// What the editors opened from the action list get from it: the contact
// editor (not for a file opened read-only, where a new contact could not be
// saved), and the reload after a log entry was carried over.
class TActionListEditorServices final : public TContactEditorServices {
public:
    bool HasContactEditor() const override { return !ActionFileReadOnly(); }
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

void ShowDecisionViewer(const TDecisionKind &kind, QWidget *parent)
{
    TActionListEditorServices services;
    ShowDecisionEditor(kind, emView, parent, &services);
}

void ShowContactsList(QWidget *parent)
{
    TTable *actors = DataModuleMain().cdsActor;
    const QString previousIndex = actors->IndexName();
    actors->SetIndexName(QStringLiteral("ID_ASC"));
    actors->First();
    TryFinally(
        [&] {
            TFormActors form(parent);
            Ui().ExecModal(&form);
        },
        [&] {
            actors->SetIndexName(previousIndex);
            actors->First();
        });
}

void ShowPropertiesEditor(QWidget *parent)
{
    DataModuleMain().cdsAction->Edit();
    TActionListEditorServices services;
    TFormProperties form(parent, &services);
    Ui().ExecModal(&form);
}
