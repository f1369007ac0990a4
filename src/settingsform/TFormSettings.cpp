#include "TFormSettings.h"

#include "AppIcon.h"
#include "Formats.h"
#include "UiServices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kMinIndicator = 0;
constexpr int kMaxIndicator = 100;

QCheckBox *newCheckBox(const QString &name, const QString &caption, QWidget *parent)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    return box;
}

QLineEdit *newEdit(const QString &name, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

QToolButton *newButton(const QString &name, const QString &hint, const char *icon, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setStatusTip(hint);
    button->setIcon(AppIcon(QLatin1String(icon)));
    return button;
}

// Adds "label: field [button]" as one row of a grid; the label's mnemonic
// moves the focus to the field.
void addRow(QGridLayout *grid, const QString &caption, QWidget *field, QWidget *button = nullptr)
{
    const int row = grid->rowCount();
    auto *label = new QLabel(caption, field->parentWidget());
    label->setBuddy(field);
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1);
    if (button)
        grid->addWidget(button, row, 2);
}

QWidget *newTab(QTabWidget *pages, const QString &name, const QString &caption)
{
    auto *tab = new QWidget(pages);
    tab->setObjectName(name);
    pages->addTab(tab, caption);
    return tab;
}

} // namespace

TFormSettings::TFormSettings(QWidget *parent, TSettings &settings) : QDialog(parent), settings_(settings)
{
    setObjectName(QStringLiteral("FormSettings"));
    setWindowTitle(QStringLiteral("Manage the global Settings of Dravelin\u00AE Ostravine"));
    BuildControls();
    FormCreate();
}

void TFormSettings::BuildControls()
{
    pageControl_ = new QTabWidget(this);
    pageControl_->setObjectName(QStringLiteral("PageControlSettings"));

    QWidget *general = newTab(pageControl_, QStringLiteral("TabSheetGeneral"), QStringLiteral("General"));
    generalConfirmOnExit_ = newCheckBox(QStringLiteral("CheckBoxConfirmOnExit"),
                                        QStringLiteral("Confirm on e&xit of Dravelin\u00AE"), general);
    generalSaveLastWindow_ = newCheckBox(QStringLiteral("CheckBoxSaveLastWindowSettings"),
                                         QStringLiteral("Save the last &Window Settings"), general);
    makeBackup_ =
        newCheckBox(QStringLiteral("CheckBoxMakeBackup"),
                    QStringLiteral("Make a &Backup of an Action File prior to opening it"), general);
    showBottomPanel_ = newCheckBox(QStringLiteral("CheckBoxShowBottomPanel"),
                                   QStringLiteral("Show the Bottom &Panel at Startup"), general);
    dravelinURL_ = newEdit(QStringLiteral("EditDravelinURL"), general);
    dravelinHint_ = newEdit(QStringLiteral("EditDravelinHint"), general);
    auto *checkURL = newButton(QStringLiteral("ButtonCheckURL"), QStringLiteral("Check the Dravelin URL"),
                               "internet-web-browser", general);
    connect(checkURL, &QToolButton::clicked, this, &TFormSettings::ButtonCheckURLClick);
    auto *generalLayout = new QVBoxLayout(general);
    for (QWidget *box : {generalConfirmOnExit_, generalSaveLastWindow_, makeBackup_, showBottomPanel_})
        generalLayout->addWidget(box);
    auto *generalGrid = new QGridLayout;
    addRow(generalGrid, QStringLiteral("Dravelin Image &URL:"), dravelinURL_, checkURL);
    addRow(generalGrid, QStringLiteral("Dravelin Image &Hint:"), dravelinHint_);
    generalLayout->addLayout(generalGrid);
    generalLayout->addStretch();

    tabFolders_ = newTab(pageControl_, QStringLiteral("TabSheetFolders"), QStringLiteral("Folders"));
    folderActions_ = newEdit(QStringLiteral("EditFolderActions"), tabFolders_);
    folderDravelin_ = newEdit(QStringLiteral("EditFolderDravelin"), tabFolders_);
    folderAuxiliary_ = newEdit(QStringLiteral("EditFolderAuxiliary"), tabFolders_);
    auto *foldersGrid = new QGridLayout;
    const struct {
        QLineEdit *field;
        const char *button;
        const char *label;
        const char *hint;
    } folders[] = {
        {folderActions_, "ButtonFolderActions",
         "Folder for the &Action Files:", "Select the default Folder (Workspace) for the Action Files"},
        {folderDravelin_, "ButtonFolderDravelin",
         "Folder for the &Dravelin Files:", "Select the default Folder for the Dravelin Files"},
        {folderAuxiliary_, "ButtonFolderAuxiliary",
         "Folder for Au&xiliary Files:", "Select the default Folder for the Auxiliary Files"},
    };
    for (const auto &folder : folders) {
        const QString hint = QString::fromUtf8(folder.hint);
        auto *button = newButton(QString::fromLatin1(folder.button), hint, "folder", tabFolders_);
        QLineEdit *field = folder.field;
        connect(button, &QToolButton::clicked, this, [this, field, hint] { SelectFolder(field, hint); });
        addRow(foldersGrid, QString::fromUtf8(folder.label), field, button);
    }
    auto *foldersLayout = new QVBoxLayout(tabFolders_);
    foldersLayout->addLayout(foldersGrid);
    foldersLayout->addStretch();

    QWidget *company = newTab(pageControl_, QStringLiteral("TabSheetCompany"), QStringLiteral("Company"));
    companyName_ = newEdit(QStringLiteral("EditCompanyName"), company);
    companyDepartment_ = newEdit(QStringLiteral("EditCompanyDepartment"), company);
    auto *companyGrid = new QGridLayout;
    addRow(companyGrid, QStringLiteral("Company &Name:"), companyName_);
    addRow(companyGrid, QStringLiteral("Company &Department:"), companyDepartment_);
    auto *companyLayout = new QVBoxLayout(company);
    companyLayout->addLayout(companyGrid);
    companyLayout->addStretch();

    QWidget *actions = newTab(pageControl_, QStringLiteral("TabSheetActions"), QStringLiteral("Actions"));
    actionsConfirmOnExit_ = newCheckBox(QStringLiteral("CheckBoxActionsConfirmOnExit"),
                                        QStringLiteral("Confirm on e&xit of Action Files"), actions);
    actionsSaveLastWindow_ = newCheckBox(QStringLiteral("CheckBoxActionsSaveLastWindowSettings"),
                                         QStringLiteral("Save the last &Window Settings"), actions);
    transferData_ = newCheckBox(QStringLiteral("CheckBoxTransferData"),
                                QStringLiteral("Transfer crucial &Data between Action and Log"), actions);
    colorCoding_ = newCheckBox(QStringLiteral("CheckBoxColorCoding"),
                               QStringLiteral("&Use Color Coding in the Data Grid"), actions);
    connect(colorCoding_, &QCheckBox::clicked, this, &TFormSettings::CheckBoxColorCodingClick);
    dueDateIndicator_ = new QSpinBox(actions);
    dueDateIndicator_->setObjectName(QStringLiteral("SpinEditDueDateIndicator"));
    dueDateIndicator_->setRange(kMinIndicator, kMaxIndicator);
    dueDateIndicator_->setSingleStep(1);
    dueDateIndicator_->setMaximumWidth(dueDateIndicator_->fontMetrics().horizontalAdvance(QLatin1Char('0')) *
                                       10);
    atributeSeparator_ = newEdit(QStringLiteral("EditAtributeSeparator"), actions);
    atributeSeparator_->setMaxLength(1);
    atributeSeparator_->setMaximumWidth(
        atributeSeparator_->fontMetrics().horizontalAdvance(QLatin1Char('W')) * 4);
    filter_ = new QComboBox(actions);
    filter_->setObjectName(QStringLiteral("ComboBoxFilter"));
    // The entries in the order of TActionFilter: an entry's index is the
    // stored value.
    static_assert(int(TActionFilter::All) == 0 && int(TActionFilter::Open) == 1 &&
                  int(TActionFilter::Resolved) == 2);
    filter_->addItems({QStringLiteral("Show ALL Actions"), QStringLiteral("Show all OPEN Actions"),
                       QStringLiteral("Show all RESOLVED Actions")});
    auto *actionsLayout = new QVBoxLayout(actions);
    for (QWidget *box : {actionsConfirmOnExit_, actionsSaveLastWindow_, transferData_, colorCoding_})
        actionsLayout->addWidget(box);
    auto *actionsGrid = new QGridLayout;
    auto *indicatorLabel = new QLabel(QStringLiteral("Due Date &Indicator:"), actions);
    indicatorLabel->setBuddy(dueDateIndicator_);
    auto *indicatorRow = new QHBoxLayout;
    indicatorRow->addWidget(dueDateIndicator_);
    indicatorRow->addWidget(new QLabel(QStringLiteral("Day(s) before Action Due Date"), actions));
    indicatorRow->addStretch();
    actionsGrid->addWidget(indicatorLabel, 0, 0);
    actionsGrid->addLayout(indicatorRow, 0, 1, 1, 2);
    addRow(actionsGrid, QStringLiteral("A&ttribute Separator:"), atributeSeparator_);
    addRow(actionsGrid, QStringLiteral("S&how which Actions"), filter_);
    actionsGrid->setColumnStretch(2, 1);
    actionsLayout->addLayout(actionsGrid);
    actionsLayout->addStretch();

    saveSettings_ =
        newCheckBox(QStringLiteral("CheckBoxSaveSettings"), QStringLiteral("&Save Settings"), this);
    auto *ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("RzBitBtnOK"));
    ok->setIcon(AppIcon(QStringLiteral("dialog-ok")));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &TFormSettings::RzBitBtnOKClick);
    auto *cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("RzBitBtnCancel"));
    cancel->setIcon(AppIcon(QStringLiteral("dialog-cancel")));
    connect(cancel, &QPushButton::clicked, this, &TFormSettings::RzBitBtnCancelClick);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(saveSettings_);
    bottom->addStretch();
    bottom->addWidget(ok);
    bottom->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(pageControl_);
    layout->addLayout(bottom);
    setMinimumWidth(560);
}

void TFormSettings::FormCreate()
{
    BusyCursor busy;
    const TSettings &s = settings_;
    generalConfirmOnExit_->setChecked(s.General.ConfirmOnExit);
    generalSaveLastWindow_->setChecked(s.General.SaveLastWindowSettings);
    makeBackup_->setChecked(s.General.MakeBackup);
    showBottomPanel_->setChecked(s.General.ShowBottomPanel);
    dravelinURL_->setText(s.General.DravelinURL);
    dravelinHint_->setText(s.General.DravelinHint);
    folderActions_->setText(s.Folders.Actions);
    folderDravelin_->setText(s.Folders.Dravelin);
    folderAuxiliary_->setText(s.Folders.Auxiliary);
    companyName_->setText(s.Company.Name);
    companyDepartment_->setText(s.Company.Department);
    actionsConfirmOnExit_->setChecked(s.Actions.ConfirmOnExit);
    actionsSaveLastWindow_->setChecked(s.Actions.SaveLastWindowSettings);
    transferData_->setChecked(s.Actions.TransferData);
    colorCoding_->setChecked(s.Actions.ColorCoding);
    dueDateIndicator_->setValue(std::clamp(s.Actions.DueDateIndicator, kMinIndicator, kMaxIndicator));
    atributeSeparator_->setText(s.Actions.AtributeSeparator);
    // A filter outside the three entries selects none of them.
    filter_->setCurrentIndex(s.Actions.Filter >= 0 && s.Actions.Filter < filter_->count() ? s.Actions.Filter
                                                                                          : -1);
    saveSettings_->setChecked(s.General.SaveSettings);
    CheckBoxColorCodingClick();
    pageControl_->setCurrentIndex(0);
    generalConfirmOnExit_->setFocus();
}

void TFormSettings::CheckBoxColorCodingClick()
{
    dueDateIndicator_->setEnabled(colorCoding_->isChecked());
}

void TFormSettings::ButtonCheckURLClick()
{
    if (!dravelinURL_->text().isEmpty())
        Ui().ShellOpen(dravelinURL_->text());
}

void TFormSettings::SelectFolder(QLineEdit *field, const QString &caption)
{
    if (const auto folder = Ui().SelectFolder(caption, field->text())) {
        field->setText(*folder);
        field->setFocus();
    }
}

bool TFormSettings::ValidateFolders()
{
    const struct {
        QLineEdit *field;
        const char *message;
    } folders[] = {
        {folderActions_, "Please enter a valid Name for the Actions Folder"},
        {folderDravelin_, "Please enter a valid Name for the Dravelin Files Folder"},
        {folderAuxiliary_, "Please enter a valid Name for the Auxiliary Files Folder"},
    };
    for (const auto &folder : folders) {
        if (QFileInfo(folder.field->text()).isDir())
            continue;
        Ui().MessageBox(QString::fromLatin1(folder.message), QStringLiteral("Invalid Input"),
                        MB_OK | MB_ICONERROR);
        pageControl_->setCurrentWidget(tabFolders_);
        folder.field->setFocus();
        return false;
    }
    return true;
}

void TFormSettings::StoreSettings()
{
    TSettings &s = settings_;
    s.General.SaveSettings = saveSettings_->isChecked();
    s.General.ConfirmOnExit = generalConfirmOnExit_->isChecked();
    s.General.SaveLastWindowSettings = generalSaveLastWindow_->isChecked();
    s.General.MakeBackup = makeBackup_->isChecked();
    s.General.ShowBottomPanel = showBottomPanel_->isChecked();
    s.General.DravelinURL = dravelinURL_->text();
    s.General.DravelinHint = dravelinHint_->text();
    s.Folders.Actions = folderActions_->text();
    s.Folders.Dravelin = folderDravelin_->text();
    s.Folders.Auxiliary = folderAuxiliary_->text();
    s.Company.Name = companyName_->text();
    s.Company.Department = companyDepartment_->text();
    s.Actions.ConfirmOnExit = actionsConfirmOnExit_->isChecked();
    s.Actions.SaveLastWindowSettings = actionsSaveLastWindow_->isChecked();
    s.Actions.TransferData = transferData_->isChecked();
    s.Actions.ColorCoding = colorCoding_->isChecked();
    s.Actions.DueDateIndicator = dueDateIndicator_->value();
    s.Actions.AtributeSeparator = atributeSeparator_->text();
    // With no entry chosen the stored filter stays as it was, rather than
    // becoming a new out-of-range number.
    if (filter_->currentIndex() >= 0)
        s.Actions.Filter = filter_->currentIndex();
}

void TFormSettings::RzBitBtnOKClick()
{
    if (!ValidateFolders())
        return;
    BusyCursor busy;
    const QString previousWorkspace = settings_.Folders.Actions;
    StoreSettings();
    workspaceChanged_ = !SameText(previousWorkspace, settings_.Folders.Actions);
    accept();
}

void TFormSettings::RzBitBtnCancelClick()
{
    reject();
}
