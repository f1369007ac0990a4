#include "TFormPrintColumns.h"

#include "AppIcon.h"
#include "OptionButtons.h"
#include "ShownPages.h"
#include "TDataModuleMain.h"
#include "UiServices.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QToolButton *NewToolButton(QWidget *parent, const char *name, const char *icon, const QString &hint)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(AppIcon(QLatin1String(icon)));
    button->setToolTip(hint);
    button->setAutoRaise(true);
    return button;
}

QToolButton *NewSquare(QWidget *parent, const char *name, const QString &text, const QString &hint)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setText(text);
    button->setToolTip(hint);
    button->setFixedSize(16, 16);
    return button;
}

} // namespace

TFormPrintColumns::TFormPrintColumns(const QString &caption, const QList<TReportColumn> &columns,
                                     TitleFunction defaultTitle, TTable &table, TGlobalTempFiles &temp,
                                     TSettings::ColumnReportSection &remembered, QWidget *parent)
    : QDialog(parent), columns_(columns), defaultTitle_(std::move(defaultTitle)), table_(table), temp_(temp),
      remembered_(remembered), today_(QDate::currentDate())
{
    setWindowTitle(caption);

    RzCheckListFields = new QListWidget(this);
    RzCheckListFields->setObjectName(QStringLiteral("RzCheckListFields"));
    RzCheckListFields->setSelectionMode(QAbstractItemView::SingleSelection);

    SpeedButtonUp = NewToolButton(this, "SpeedButtonUp", "go-up", QStringLiteral("Replace Element upwards"));
    SpeedButtonDown =
        NewToolButton(this, "SpeedButtonDown", "go-down", QStringLiteral("Replace Element downwards"));
    SpeedButtonSelectAll = NewToolButton(this, "SpeedButtonSelectAll", "edit-select-all",
                                         QStringLiteral("Select all Fields in the Action List"));
    SpeedButtonSelectNone = NewToolButton(this, "SpeedButtonSelectNone", "edit-select-none",
                                          QStringLiteral("Select none of the Fields in the Action List"));
    SpeedButtonRestore = NewToolButton(this, "SpeedButtonRestore", "document-revert",
                                       QStringLiteral("Restore default Print Settings"));

    RzBitBtnReportTitle = new QPushButton(QStringLiteral("Report &Title"), this);
    RzBitBtnReportTitle->setObjectName(QStringLiteral("RzBitBtnReportTitle"));
    RzBitBtnReportTitle->setToolTip(QStringLiteral("Change the Report Title"));
    RzBitBtnReportTitle->setAutoDefault(false);

    auto *align = new QGroupBox(QStringLiteral("&Align Report Title"), this);
    align->setObjectName(QStringLiteral("RzRadioGroupReportTitle"));
    AlignLeft = new QRadioButton(QStringLiteral("Left"), align);
    AlignCenter = new QRadioButton(QStringLiteral("Center"), align);
    AlignRight = new QRadioButton(QStringLiteral("Right"), align);
    auto *alignGroup = new QButtonGroup(align);
    auto *alignLayout = new QVBoxLayout(align);
    for (QRadioButton *button : {AlignLeft, AlignCenter, AlignRight}) {
        alignGroup->addButton(button);
        alignLayout->addWidget(button);
    }

    RzSpinEditHTMLWidth = new QSpinBox(this);
    RzSpinEditHTMLWidth->setObjectName(QStringLiteral("RzSpinEditHTMLWidth"));
    RzSpinEditHTMLWidth->setRange(kReportWidthMin, kReportWidthMax);
    RzSpinEditHTMLWidth->setSingleStep(kReportWidthStep);
    auto *widthLabel = new QLabel(QStringLiteral("Width of &HTML output:"), this);
    widthLabel->setBuddy(RzSpinEditHTMLWidth);
    ShapeDecrease = NewSquare(this, "ShapeDecrease", QStringLiteral("-"),
                              QStringLiteral("Decrease HTML Width in Steps of 100"));
    ShapeIncrease = NewSquare(this, "ShapeIncrease", QStringLiteral("+"),
                              QStringLiteral("Increase HTML Width in Steps of 100"));

    RzComboBoxFontSize = new QComboBox(this);
    RzComboBoxFontSize->setObjectName(QStringLiteral("RzComboBoxFontSize"));
    RzComboBoxFontSize->addItems(ReportFontSizes());
    auto *sizeLabel = new QLabel(QStringLiteral("HTML &FontSize:"), this);
    sizeLabel->setBuddy(RzComboBoxFontSize);

    CheckBoxColor = new QCheckBox(QStringLiteral("&Use Colors"), this);
    CheckBoxColor->setObjectName(QStringLiteral("CheckBoxColor"));

    CreateOkCloseButtons(this, RzBitBtnOK, RzBitBtnCancel);

    auto *listButtons = new QVBoxLayout;
    for (QToolButton *button :
         {SpeedButtonUp, SpeedButtonDown, SpeedButtonSelectAll, SpeedButtonSelectNone, SpeedButtonRestore})
        listButtons->addWidget(button);
    listButtons->addStretch();
    auto *widthRow = new QHBoxLayout;
    widthRow->addWidget(RzSpinEditHTMLWidth);
    widthRow->addWidget(ShapeDecrease);
    widthRow->addWidget(ShapeIncrease);
    auto *settings = new QGridLayout;
    settings->addWidget(RzBitBtnReportTitle, 0, 0, 1, 2);
    settings->addWidget(align, 1, 0, 1, 2);
    settings->addWidget(widthLabel, 2, 0);
    settings->addLayout(widthRow, 2, 1);
    settings->addWidget(sizeLabel, 3, 0);
    settings->addWidget(RzComboBoxFontSize, 3, 1);
    settings->addWidget(CheckBoxColor, 4, 0, 1, 2);
    settings->setRowStretch(5, 1);
    auto *top = new QHBoxLayout;
    top->addWidget(RzCheckListFields, 1);
    top->addLayout(listButtons);
    top->addLayout(settings);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(RzBitBtnOK);
    buttons->addWidget(RzBitBtnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);

    connect(SpeedButtonUp, &QToolButton::clicked, this, &TFormPrintColumns::SpeedButtonUpClick);
    connect(SpeedButtonDown, &QToolButton::clicked, this, &TFormPrintColumns::SpeedButtonDownClick);
    connect(SpeedButtonSelectAll, &QToolButton::clicked, this, [this] { CheckAll(true); });
    connect(SpeedButtonSelectNone, &QToolButton::clicked, this, [this] { CheckAll(false); });
    connect(SpeedButtonRestore, &QToolButton::clicked, this, &TFormPrintColumns::SpeedButtonRestoreClick);
    connect(RzBitBtnReportTitle, &QPushButton::clicked, this, &TFormPrintColumns::RzBitBtnReportTitleClick);
    connect(ShapeDecrease, &QToolButton::clicked, this, &TFormPrintColumns::ShapeDecreaseClick);
    connect(ShapeIncrease, &QToolButton::clicked, this, &TFormPrintColumns::ShapeIncreaseClick);
    connect(RzBitBtnOK, &QPushButton::clicked, this, &TFormPrintColumns::RzBitBtnOKClick);
    connect(RzBitBtnCancel, &QPushButton::clicked, this, &QDialog::reject);

    FillList();
    // Every column shows in the list at once, with the desktop's font.
    RzCheckListFields->setMinimumHeight(RzCheckListFields->sizeHintForRow(0) * RzCheckListFields->count() +
                                        2 * RzCheckListFields->frameWidth());
    title_ = defaultTitle_(today_);
    RzSpinEditHTMLWidth->setValue(kReportWidthDefault);
    RzComboBoxFontSize->setCurrentIndex(1);
    CheckBoxColor->setChecked(true);
    AlignCenter->setChecked(true);
    CheckDefaults();
    Recall();
}

void TFormPrintColumns::Recall()
{
    const TSettings::ColumnReportSection &last = remembered_;
    if (!last.Columns.isEmpty()) {
        // The remembered order first, then any column it does not name, in
        // the initial order and unchecked.
        int placed = 0;
        for (QString name : last.Columns.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const bool checked = !name.startsWith(QLatin1Char('-'));
            if (!checked)
                name.remove(0, 1);
            for (int row = placed; row < RzCheckListFields->count(); ++row) {
                QListWidgetItem *item = RzCheckListFields->item(row);
                if (columns_[item->data(Qt::UserRole).toInt()].sourceField != name)
                    continue;
                RzCheckListFields->insertItem(placed++, RzCheckListFields->takeItem(row));
                item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
                break;
            }
        }
        for (int row = placed; row < RzCheckListFields->count(); ++row)
            RzCheckListFields->item(row)->setCheckState(Qt::Unchecked);
        RzCheckListFields->setCurrentRow(0);
    }
    QRadioButton *align[] = {AlignLeft, AlignCenter, AlignRight};
    align[std::clamp(last.Align, 0, 2)]->setChecked(true);
    RzSpinEditHTMLWidth->setValue(last.Width);
    if (last.FontSize >= 0 && last.FontSize < RzComboBoxFontSize->count())
        RzComboBoxFontSize->setCurrentIndex(last.FontSize);
    CheckBoxColor->setChecked(last.Colors);
}

void TFormPrintColumns::Remember() const
{
    QStringList order;
    for (int row = 0; row < RzCheckListFields->count(); ++row) {
        const QListWidgetItem *item = RzCheckListFields->item(row);
        const QString &field = columns_[item->data(Qt::UserRole).toInt()].sourceField;
        order << (item->checkState() == Qt::Checked ? field : QLatin1Char('-') + field);
    }
    remembered_.Columns = order.join(QLatin1Char(','));
    remembered_.Align = AlignLeft->isChecked() ? 0 : AlignRight->isChecked() ? 2 : 1;
    remembered_.Width = RzSpinEditHTMLWidth->value();
    remembered_.FontSize = RzComboBoxFontSize->currentIndex();
    remembered_.Colors = CheckBoxColor->isChecked();
}

void TFormPrintColumns::done(int result)
{
    Remember();
    QDialog::done(result);
}

void TFormPrintColumns::FillList()
{
    RzCheckListFields->clear();
    for (int i = 0; i < columns_.size(); ++i) {
        auto *item = new QListWidgetItem(columns_[i].listCaption, RzCheckListFields);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setData(Qt::UserRole, i);
        item->setCheckState(Qt::Unchecked);
    }
}

void TFormPrintColumns::CheckDefaults()
{
    for (int i = 0; i < RzCheckListFields->count(); ++i) {
        QListWidgetItem *item = RzCheckListFields->item(i);
        item->setCheckState(columns_[item->data(Qt::UserRole).toInt()].checkedAtFirst ? Qt::Checked
                                                                                      : Qt::Unchecked);
    }
    RzCheckListFields->setCurrentRow(0);
}

void TFormPrintColumns::SetToday(const QDate &today)
{
    today_ = today;
    title_ = defaultTitle_(today_);
}

TColumnReportOptions TFormPrintColumns::Options() const
{
    TColumnReportOptions options;
    options.title = title_;
    options.align = AlignLeft->isChecked()    ? TTitleAlign::Left
                    : AlignRight->isChecked() ? TTitleAlign::Right
                                              : TTitleAlign::Center;
    options.width = RzSpinEditHTMLWidth->value();
    options.fontSize = RzComboBoxFontSize->currentText();
    options.colors = CheckBoxColor->isChecked();
    for (int i = 0; i < RzCheckListFields->count(); ++i) {
        const QListWidgetItem *item = RzCheckListFields->item(i);
        if (item->checkState() == Qt::Checked)
            options.columns.append(columns_[item->data(Qt::UserRole).toInt()]);
    }
    return options;
}

// Swaps the selected entry with its neighbour, check mark and column
// travelling with it; the selection follows it.
void TFormPrintColumns::SwapWith(int offset)
{
    const int row = RzCheckListFields->currentRow();
    if (row < 0 || !RzCheckListFields->currentItem()->isSelected())
        return;
    const int other = row + offset;
    if (other < 0 || other >= RzCheckListFields->count())
        return;
    QListWidgetItem *item = RzCheckListFields->takeItem(row);
    RzCheckListFields->insertItem(other, item);
    RzCheckListFields->setCurrentRow(other);
}

void TFormPrintColumns::SpeedButtonUpClick()
{
    SwapWith(-1);
}

void TFormPrintColumns::SpeedButtonDownClick()
{
    SwapWith(1);
}

void TFormPrintColumns::CheckAll(bool checked)
{
    for (int i = 0; i < RzCheckListFields->count(); ++i)
        RzCheckListFields->item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void TFormPrintColumns::SpeedButtonRestoreClick()
{
    FillList();
    title_ = defaultTitle_(today_);
    CheckDefaults();
    RzSpinEditHTMLWidth->setValue(kReportWidthDefault);
    RzComboBoxFontSize->setCurrentIndex(1);
    CheckBoxColor->setChecked(true);
    AlignCenter->setChecked(true);
    RzCheckListFields->setFocus();
}

void TFormPrintColumns::RzBitBtnReportTitleClick()
{
    QString value = title_;
    if (Ui().InputQuery(QStringLiteral("Change Report Title"), QStringLiteral("Report Title:"), value))
        title_ = value;
}

void TFormPrintColumns::ShapeDecreaseClick()
{
    if (RzSpinEditHTMLWidth->value() > 150)
        RzSpinEditHTMLWidth->setValue(RzSpinEditHTMLWidth->value() - 100);
}

void TFormPrintColumns::ShapeIncreaseClick()
{
    if (RzSpinEditHTMLWidth->value() <= 1900)
        RzSpinEditHTMLWidth->setValue(RzSpinEditHTMLWidth->value() + 100);
}

void TFormPrintColumns::RzBitBtnOKClick()
{
    ProduceColumnReport(table_, temp_, Options(), today_);
}

TFormPrintList::TFormPrintList(TDataModuleMain &data, QWidget *parent)
    : TFormPrintColumns(
          QStringLiteral("Print Action List"), ActionReportColumns(),
          [&data](const QDate &today) { return ActionListReportTitle(data, today); }, *data.cdsActions,
          data.TempFiles, Settings().PrintList, parent)
{
    setObjectName(QStringLiteral("FormPrintList"));
}

TFormPrintActor::TFormPrintActor(TDataModuleMain &data, QWidget *parent)
    : TFormPrintColumns(
          QStringLiteral("Print List Actors"), ContactReportColumns(),
          [&data](const QDate &today) { return ContactsReportTitle(data, today); }, *data.cdsActor,
          data.TempFiles, Settings().PrintActors, parent)
{
    setObjectName(QStringLiteral("FormPrintActor"));
}
