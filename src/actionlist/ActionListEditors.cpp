#include "ActionListEditors.h"

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
    explicit TActionListEditorServices(const TActionListFile &file)
        : TContactEditorServices(file.data), file_(file)
    {
    }
    bool HasContactEditor() const override { return !file_.readOnly; }
    void ReloadActionFile() override { ::ReloadActionFile(file_.data, file_.readOnly); }

private:
    TActionListFile file_;
};

} // namespace

void ShowActionEditor(const TActionListFile &file, TEditorMode mode, QWidget *parent)
{
    TActionListEditorServices services(file);
    TFormAction form(file.data, mode, parent, &services);
    Ui().ExecModal(&form);
}

void ShowLogEditor(const TActionListFile &file, TEditorMode mode, QWidget *parent)
{
    TActionListEditorServices services(file);
    TFormLog form(file.data, mode, parent, &services);
    Ui().ExecModal(&form);
}

void ShowDecisionViewer(const TActionListFile &file, const TDecisionKind &kind, QWidget *parent)
{
    TActionListEditorServices services(file);
    ShowDecisionEditor(file.data, kind, emView, parent, &services);
}

void ShowContactsList(const TActionListFile &file, QWidget *parent)
{
    TTable *actors = file.data.cdsActor;
    const QString previousIndex = actors->IndexName();
    actors->SetIndexName(QStringLiteral("ID_ASC"));
    actors->First();
    TryFinally(
        [&] {
            TFormActors form(file.data, parent);
            Ui().ExecModal(&form);
        },
        [&] {
            actors->SetIndexName(previousIndex);
            actors->First();
        });
}

void ShowPropertiesEditor(const TActionListFile &file, QWidget *parent)
{
    file.data.cdsAction->Edit();
    TActionListEditorServices services(file);
    TFormProperties form(file.data, parent, &services);
    Ui().ExecModal(&form);
}
