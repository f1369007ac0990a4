#include "TFormDigest.h"

#include "AppIcon.h"
#include "OptionButtons.h"
#include "ShownPages.h"
#include "TDataModuleMain.h"
#include "TSettings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QCheckBox *NewCheckBox(QWidget *parent, const char *name, const QString &caption, bool checked)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->setChecked(checked);
    return box;
}

} // namespace

TFormDigest::TFormDigest(int mode, TDataModuleMain &data, QWidget *parent)
    : QDialog(parent), mode_(mode), data_(data)
{
    setObjectName(QStringLiteral("FormDigest"));
    setWindowTitle(QStringLiteral("Print Action Digest"));

    ToolBar = new QToolBar(this);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    RzToolButtonPrior = new QToolButton(this);
    RzToolButtonPrior->setObjectName(QStringLiteral("RzToolButtonPrior"));
    RzToolButtonPrior->setIcon(AppIcon(QStringLiteral("go-previous")));
    RzToolButtonPrior->setToolTip(QStringLiteral("Go to the previous Action"));
    RzToolButtonNext = new QToolButton(this);
    RzToolButtonNext->setObjectName(QStringLiteral("RzToolButtonNext"));
    RzToolButtonNext->setIcon(AppIcon(QStringLiteral("go-next")));
    RzToolButtonNext->setToolTip(QStringLiteral("Go to the next Action"));
    ToolBar->addWidget(RzToolButtonPrior);
    ToolBar->addWidget(RzToolButtonNext);

    auto *scope = new QGroupBox(QStringLiteral("Digest &Scope"), this);
    scope->setObjectName(QStringLiteral("RzRadioGroupScope"));
    ScopeCurrent = new QRadioButton(QStringLiteral("Current Action"), scope);
    ScopeCurrent->setObjectName(QStringLiteral("ScopeCurrentAction"));
    ScopeAll = new QRadioButton(QStringLiteral("All Actions"), scope);
    ScopeAll->setObjectName(QStringLiteral("ScopeAllActions"));
    ScopeCurrent->setChecked(true);
    auto *scopeGroup = new QButtonGroup(scope);
    scopeGroup->addButton(ScopeCurrent, 0);
    scopeGroup->addButton(ScopeAll, 1);
    auto *scopeLayout = new QVBoxLayout(scope);
    scopeLayout->addWidget(ScopeCurrent);
    scopeLayout->addWidget(ScopeAll);

    CheckBoxIndex = NewCheckBox(this, "CheckBoxIndex", QStringLiteral("Show &Index"), false);
    CheckBoxProperties =
        NewCheckBox(this, "CheckBoxProperties", QStringLiteral("Include Action List &Properties"), false);
    CheckBoxHeaders =
        NewCheckBox(this, "CheckBoxHeaders", QStringLiteral("Include only Action &Headers"), false);
    CheckBoxSeparate = NewCheckBox(this, "CheckBoxSeparate",
                                   QStringLiteral("Separate multiple Actions by Hori&zontal Lines"), false);
    CheckBoxLogs = NewCheckBox(this, "CheckBoxLogs", QStringLiteral("Include Action &Logs"), true);
    CheckBoxLimitedLog =
        NewCheckBox(this, "CheckBoxLimitedLog", QStringLiteral("Li&mited Log Output"), false);
    CheckBoxDecisions =
        NewCheckBox(this, "CheckBoxDecisions", QStringLiteral("Include Action &Decisions"), false);
    CheckBoxStatements =
        NewCheckBox(this, "CheckBoxStatements", QStringLiteral("Include Action S&tatements"), false);
    CheckBoxColors = NewCheckBox(this, "CheckBoxColors", QStringLiteral("&Use Colors in the Output"), true);
    CheckBoxShowInBrowser = NewCheckBox(this, "CheckBoxShowInBrowser",
                                        QStringLiteral("Show Output in the default &Browser"), true);
    CheckBoxShowInBrowser->setToolTip(
        QStringLiteral("Show the Output in the default Browser, or save the Output to a File"));

    CreateOkCloseButtons(this, RzBitBtnOK, RzBitBtnCancel);

    auto *options = new QVBoxLayout;
    for (QCheckBox *box :
         {CheckBoxIndex, CheckBoxProperties, CheckBoxHeaders, CheckBoxSeparate, CheckBoxLogs})
        options->addWidget(box);
    auto *limited = new QHBoxLayout;
    limited->addSpacing(20);
    limited->addWidget(CheckBoxLimitedLog);
    options->addLayout(limited);
    for (QCheckBox *box : {CheckBoxDecisions, CheckBoxStatements, CheckBoxColors, CheckBoxShowInBrowser})
        options->addWidget(box);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(RzBitBtnOK);
    buttons->addWidget(RzBitBtnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ToolBar);
    layout->addWidget(scope);
    layout->addLayout(options);
    layout->addLayout(buttons);

    connect(scopeGroup, &QButtonGroup::idClicked, this, [this] { RzRadioGroupScopeClick(); });
    connect(CheckBoxLogs, &QCheckBox::clicked, this, [this] { CheckBoxLogsClick(); });
    connect(RzToolButtonPrior, &QToolButton::clicked, this, [this] { data_.cdsActions->Prior(); });
    connect(RzToolButtonNext, &QToolButton::clicked, this, [this] { data_.cdsActions->Next(); });
    connect(RzBitBtnOK, &QPushButton::clicked, this, &TFormDigest::RzBitBtnOKClick);
    connect(RzBitBtnCancel, &QPushButton::clicked, this, &QDialog::reject);

    Recall();
    if (mode_ == ActionMode) {
        ScopeCurrent->setChecked(true);
        RzRadioGroupScopeClick();
        ScopeCurrent->setEnabled(false);
        ScopeAll->setEnabled(false);
        ToolBar->hide();
    } else {
        ScopeAll->setChecked(true);
        RzRadioGroupScopeClick();
    }
}

void TFormDigest::Recall()
{
    const TSettings::DigestSection &last = Settings().Digest;
    CheckBoxIndex->setChecked(last.Index);
    CheckBoxProperties->setChecked(last.Properties);
    CheckBoxHeaders->setChecked(last.Headers);
    CheckBoxSeparate->setChecked(last.Separate);
    CheckBoxLogs->setChecked(last.Logs);
    CheckBoxLimitedLog->setChecked(last.Logs && last.LimitedLog);
    CheckBoxLimitedLog->setEnabled(last.Logs);
    CheckBoxDecisions->setChecked(last.Decisions);
    CheckBoxStatements->setChecked(last.Statements);
    CheckBoxColors->setChecked(last.Colors);
    CheckBoxShowInBrowser->setChecked(last.ShowInBrowser);
}

void TFormDigest::Remember() const
{
    TSettings::DigestSection &last = Settings().Digest;
    // Index and separator are choices of the digest of all actions only.
    if (mode_ == ListMode) {
        last.Index = CheckBoxIndex->isChecked();
        last.Separate = CheckBoxSeparate->isChecked();
    }
    last.Properties = CheckBoxProperties->isChecked();
    last.Headers = CheckBoxHeaders->isChecked();
    last.Logs = CheckBoxLogs->isChecked();
    last.LimitedLog = CheckBoxLimitedLog->isChecked();
    last.Decisions = CheckBoxDecisions->isChecked();
    last.Statements = CheckBoxStatements->isChecked();
    last.Colors = CheckBoxColors->isChecked();
    last.ShowInBrowser = CheckBoxShowInBrowser->isChecked();
}

void TFormDigest::done(int result)
{
    Remember();
    QDialog::done(result);
}

void TFormDigest::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!shown_ && mode_ == ActionMode)
        CheckBoxProperties->setFocus();
    shown_ = true;
}

TDigestOptions TFormDigest::Options() const
{
    TDigestOptions options;
    options.allActions = ScopeAll->isChecked();
    options.index = CheckBoxIndex->isChecked();
    options.properties = CheckBoxProperties->isChecked();
    options.headers = CheckBoxHeaders->isChecked();
    options.separate = CheckBoxSeparate->isChecked();
    options.logs = CheckBoxLogs->isChecked();
    options.limitedLog = CheckBoxLimitedLog->isChecked();
    options.decisions = CheckBoxDecisions->isChecked();
    options.statements = CheckBoxStatements->isChecked();
    options.colors = CheckBoxColors->isChecked();
    return options;
}

void TFormDigest::RzRadioGroupScopeClick()
{
    // The index and the separator concern several actions.
    const bool all = ScopeAll->isChecked();
    if (!all) {
        CheckBoxIndex->setChecked(false);
        CheckBoxSeparate->setChecked(false);
    }
    CheckBoxIndex->setEnabled(all);
    CheckBoxSeparate->setEnabled(all);
}

void TFormDigest::CheckBoxLogsClick()
{
    if (!CheckBoxLogs->isChecked())
        CheckBoxLimitedLog->setChecked(false);
    CheckBoxLimitedLog->setEnabled(CheckBoxLogs->isChecked());
}

void TFormDigest::RzBitBtnOKClick()
{
    ProduceDigest(data_, Options(), CheckBoxShowInBrowser->isChecked(),
                  today_.isValid() ? today_ : QDate::currentDate());
}
