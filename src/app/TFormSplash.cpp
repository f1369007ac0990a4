#include "TFormSplash.h"

#include "ProductInfo.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

TFormSplash::TFormSplash(bool closeOnClick, QWidget *parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint), closeOnClick_(closeOnClick)
{
    setObjectName(QStringLiteral("FormSplash"));
    setWindowTitle(ProductName());
    setStyleSheet(QStringLiteral("TFormSplash { background: #183e70; border: 1px solid #0c2040; }"
                                 "QLabel { color: white; }"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(24, 24, 32, 24);
    layout->setSpacing(20);
    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("ImageSplash"));
    picture->setPixmap(DravelinPicture(QSize(96, 96)));
    layout->addWidget(picture);

    auto *texts = new QVBoxLayout;
    auto *name = NewProductNameLabel(this, 2);
    texts->addStretch(1);
    texts->addWidget(name);
    texts->addWidget(new QLabel(QStringLiteral("A register of action items"), this));
    texts->addWidget(new QLabel(QStringLiteral("Version ") + VersionText(), this));
    texts->addStretch(1);
    layout->addLayout(texts);
}

void TFormSplash::mousePressEvent(QMouseEvent *event)
{
    if (closeOnClick_ && event->button() == Qt::LeftButton)
        accept();
    else
        QDialog::mousePressEvent(event);
}
