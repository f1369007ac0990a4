#pragma once

#include "ColumnReport.h"
#include "TSettings.h"

#include <QDate>
#include <QDialog>
#include <functional>
#include <utility>

class QCheckBox;
class QComboBox;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QToolButton;
class TDataModuleMain;
class TGlobalTempFiles;
class TTable;

// The options window of a "table of chosen columns" report: the column list
// with its check marks and order, the title and its alignment, the width,
// the font size and the colours. OK builds the page over the table and
// shows it in the browser; the window stays open. The choices but the title
// are remembered in the settings when the window closes and come back when
// it opens again. TFormPrintList and TFormPrintActor give the columns, the
// default title, the table and the settings section.
class TFormPrintColumns : public QDialog {
    Q_OBJECT
public:
    // The default title for a day.
    using TitleFunction = std::function<QString(const QDate &)>;

    // The options as the controls hold them (the checked columns in list
    // order).
    TColumnReportOptions Options() const;
    // The date the report is made on; the current date unless set. Setting
    // it also dates the default title.
    void SetToday(const QDate &today);
    QString Title() const { return title_; }

    // The list's entries; each carries the position of its column in the
    // initial order (Qt::UserRole).
    QListWidget *RzCheckListFields;
    QToolButton *SpeedButtonUp;
    QToolButton *SpeedButtonDown;
    QToolButton *SpeedButtonSelectAll;
    QToolButton *SpeedButtonSelectNone;
    QToolButton *SpeedButtonRestore;
    QPushButton *RzBitBtnReportTitle;
    QRadioButton *AlignLeft;
    QRadioButton *AlignCenter;
    QRadioButton *AlignRight;
    QSpinBox *RzSpinEditHTMLWidth;
    QToolButton *ShapeDecrease;
    QToolButton *ShapeIncrease;
    QComboBox *RzComboBoxFontSize;
    QCheckBox *CheckBoxColor;
    QPushButton *RzBitBtnOK;
    QPushButton *RzBitBtnCancel;

    void SpeedButtonUpClick();
    void SpeedButtonDownClick();
    void SpeedButtonRestoreClick();
    void RzBitBtnReportTitleClick();
    void ShapeDecreaseClick();
    void ShapeIncreaseClick();
    void RzBitBtnOKClick();

    void done(int result) override;

protected:
    TFormPrintColumns(const QString &caption, const QList<TReportColumn> &columns, TitleFunction defaultTitle,
                      TTable &table, TGlobalTempFiles &temp, TSettings::ColumnReportSection &remembered,
                      QWidget *parent);

private:
    void Recall();
    void Remember() const;
    void FillList();
    void CheckDefaults();
    void SwapWith(int offset);
    void CheckAll(bool checked);

    const QList<TReportColumn> &columns_;
    TitleFunction defaultTitle_;
    TTable &table_;
    TGlobalTempFiles &temp_;
    TSettings::ColumnReportSection &remembered_;
    QDate today_;
    QString title_;
};

// "Print Action List": the columns of cdsActions.
class TFormPrintList : public TFormPrintColumns {
    Q_OBJECT
public:
    explicit TFormPrintList(TDataModuleMain &data, QWidget *parent = nullptr);
};

// "Print List Actors": the columns of cdsActor, addresses as mail links.
class TFormPrintActor : public TFormPrintColumns {
    Q_OBJECT
public:
    explicit TFormPrintActor(TDataModuleMain &data, QWidget *parent = nullptr);
};
