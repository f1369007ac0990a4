#include "TFormZoomMemo.h"

#include "AppError.h"
#include "TDataModuleMain.h"
#include "TTable.h"
#include "UiServices.h"

#include <QAction>
#include <QFile>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

TFormZoomMemo::TFormZoomMemo(QWidget *owner, const QString &caption, const QString &field, TTable *table,
                             bool readOnly)
    : QDialog(owner), field_(field), table_(table), readOnly_(readOnly)
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
    MemoZoom->setStyleSheet(QStringLiteral("QPlainTextEdit { color: navy; background-color: #FFFFF0; }"));
    MemoZoom->setPlainText(table_->FieldByName(field_).AsString());
    MemoZoom->setReadOnly(readOnly_);

    ActionPrint = new QAction(style()->standardIcon(QStyle::SP_FileIcon), QString(), this);
    ActionPrint->setObjectName(QStringLiteral("ActionPrint"));
    ActionPrint->setToolTip(QStringLiteral("Print this Note as a Text File"));
    connect(ActionPrint, &QAction::triggered, this,
            [this] { Ui().ShellOpen(WriteMemoTextFile(MemoZoom->toPlainText())); });
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

QString WriteMemoTextFile(const QString &text)
{
    const QString name = DataModuleMain().TempFiles.NewFileName(QStringLiteral("txt"));
    QFile file;
    const QByteArray bytes = (text + QStringLiteral("\r\n")).toUtf8();
    if (!TGlobalTempFiles::CreateNewFile(file, name) || file.write(bytes) != bytes.size() || !file.flush())
        throw AppError(QStringLiteral("Cannot write the file \"%1\"").arg(name));
    file.close();
    return name;
}
