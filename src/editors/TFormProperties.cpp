#include "TFormProperties.h"

#include "AppIcon.h"
#include "ShownPages.h"
#include "TDataModuleMain.h"

#include <QAction>
#include <QFormLayout>
#include <QToolBar>
#include <QVBoxLayout>

TFormProperties::TFormProperties(TDataModuleMain &data, QWidget *parent, TEditorServices *services)
    : TFormEditorBase(data, emEdit, data.cdsAction, parent, services)
{
    setObjectName(QStringLiteral("FormProperties"));
    setWindowTitle(QStringLiteral("Edit Properties of the Action File"));

    auto *form = new QFormLayout;
    AddTextField(form, QStringLiteral("&Title:"), QStringLiteral("TITLE"));
    AddTextField(form, QStringLiteral("Co&mpany:"), QStringLiteral("COMPANY"));
    AddTextField(form, QStringLiteral("&Department:"), QStringLiteral("DEPARTMENT"));
    AddTextField(form, QStringLiteral("&Project:"), QStringLiteral("PROJECT"));
    AddTextField(form, QStringLiteral("&Home ID:"), QStringLiteral("HOME_ID"));
    AddTextField(form, QStringLiteral("&Foreign ID:"), QStringLiteral("FOREIGN_ID"));
    AddContactField(form, QStringLiteral("Home &Actor:"), QStringLiteral("ACTOR_HOME"));
    AddContactField(form, QStringLiteral("Fo&reign Actor:"), QStringLiteral("ACTOR_FOREIGN"));
    AddTextField(form, QStringLiteral("Date E&ntered:"), QStringLiteral("DATE_ENTERED"));
    AddMemoField(form, QStringLiteral("Context:"), QStringLiteral("CONTEXT"),
                 QStringLiteral("Edit Action Context"));
    AddMemoField(form, QStringLiteral("Reason:"), QStringLiteral("REASON"),
                 QStringLiteral("Edit Action Reason"));
    AddMemoField(form, QStringLiteral("Remarks:"), QStringLiteral("REMARKS"),
                 QStringLiteral("Edit Action Remarks"));

    auto *toolBar = new QToolBar(this);
    toolBar->setObjectName(QStringLiteral("ToolBarRecord"));
    ActionPrint = new QAction(AppIcon(QStringLiteral("document-print")), QString(), this);
    ActionPrint->setObjectName(QStringLiteral("ActionPrint"));
    ActionPrint->setToolTip(QStringLiteral("Print the Properties of the current Action File"));
    connect(ActionPrint, &QAction::triggered, this, [this] {
        if (StoreShownValues())
            PrintPropertiesSheet(Data());
    });
    toolBar->addAction(ActionPrint);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ScrollingFields(form));
    layout->addWidget(CreateButtons(false, toolBar));
    ShowRecord();
}

TFormProperties::~TFormProperties()
{
    CloseOnceQuietly();
}

QString TFormProperties::EditCaption() const
{
    return windowTitle();
}

void TFormProperties::showEvent(QShowEvent *event)
{
    TFormEditorBase::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    FocusField(QStringLiteral("TITLE"), false);
}

void TFormProperties::OkClicked()
{
    // Nothing is required; a date that does not parse keeps the window open.
    if (!CheckTypedValues())
        return;
    Binder().Store();
    Data().cdsAction->Post();
    accept();
}

void TFormProperties::EditorClosing()
{
    Data().cdsAction->Cancel();
}
