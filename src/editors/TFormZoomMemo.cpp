#include "TFormZoomMemo.h"

#include "AppError.h"
#include "AppIcon.h"
#include "ReadableColors.h"
#include "TGlobalTempFiles.h"
#include "TTable.h"
#include "UiServices.h"

#include <QAction>
#include <QFile>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

TFormZoomMemo::TFormZoomMemo(QWidget *owner, TGlobalTempFiles &tempFiles, const QString &caption,
                             const QString &field, TTable *table, bool readOnly)
    : QDialog(owner), tempFiles_(tempFiles), field_(field), table_(table), readOnly_(readOnly)
{
    setObjectName(QStringLiteral("FormZoomMemo"));
    setWindowTitle(caption);
    // Only a close box: the window is sized by the user, not minimised.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    resize(640, 480);

    MemoZoom = new QPlainTextEdit(this);
    MemoZoom->setObjectName(QStringLiteral("MemoZoom"));
    MemoZoom->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Navy on ivory, as a note; on a dark desktop theme a light navy on the
    // theme's own field colour.
    const QPalette shown = palette();
    const QColor paper = IsDarkPalette(shown) ? shown.color(QPalette::Base) : QColor(0xFF, 0xFF, 0xF0);
    const QColor ink = ReadableTextColor(QColor(0, 0, 128), shown, QPalette::Text);
    MemoZoom->setStyleSheet(
        QStringLiteral("QPlainTextEdit { color: %1; background-color: %2; }").arg(ink.name(), paper.name()));
    MemoZoom->setPlainText(table_->FieldByName(field_).AsString());
    MemoZoom->setReadOnly(readOnly_);

    ActionPrint = new QAction(AppIcon(QStringLiteral("document-print")), QString(), this);
    ActionPrint->setObjectName(QStringLiteral("ActionPrint"));
    ActionPrint->setToolTip(QStringLiteral("Print this Note as a Text File"));
    connect(ActionPrint, &QAction::triggered, this,
            [this] { Ui().ShellOpen(WriteMemoTextFile(tempFiles_, MemoZoom->toPlainText())); });
    auto *printButton = new QToolButton(this);
    printButton->setObjectName(QStringLiteral("ButtonPrint"));
    printButton->setDefaultAction(ActionPrint);

    ButtonClose = new QPushButton(QStringLiteral("&Close"), this);
    ButtonClose->setObjectName(QStringLiteral("ButtonClose"));
    ButtonClose->setAutoDefault(false);
    connect(ButtonClose, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(printButton);
    buttons->addStretch();
    buttons->addWidget(ButtonClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(MemoZoom, 1);
    layout->addLayout(buttons);
    MemoZoom->setFocus();
}

void TFormZoomMemo::done(int result)
{
    StoreText();
    QDialog::done(result);
}

void TFormZoomMemo::StoreText()
{
    // A record that is not being edited keeps its text; there is nothing to
    // write into.
    const TDataSetState state = table_->State();
    if (readOnly_ || (state != dsEdit && state != dsInsert))
        return;
    TField field = table_->FieldByName(field_);
    const QString text = MemoZoom->toPlainText();
    if (text != field.AsString())
        field.SetAsString(text);
}

QString WriteMemoTextFile(TGlobalTempFiles &tempFiles, const QString &text)
{
    const QString name = tempFiles.NewFileName(QStringLiteral("txt"));
    QFile file;
    const QByteArray bytes = (text + QStringLiteral("\r\n")).toUtf8();
    if (!TGlobalTempFiles::CreateNewFile(file, name) || file.write(bytes) != bytes.size() || !file.flush())
        throw AppError(QStringLiteral("Cannot write the file \"%1\"").arg(name));
    file.close();
    return name;
}
