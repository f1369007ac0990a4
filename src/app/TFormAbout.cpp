#include "TFormAbout.h"

#include "LocalIniQuestion.h"
#include "MainWidgets.h"
#include "ProductInfo.h"
#include "QtUiServices.h"
#include "TFormSplash.h"
#include "UiServices.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Keeps the dialog wide enough that the title bar shows the whole caption.
void ShowWholeCaption(QDialog *dialog, const QString &caption)
{
    dialog->setWindowTitle(caption);
    dialog->setMinimumWidth(WholeCaptionWidth(dialog, caption));
}

} // namespace

TFormAbout::TFormAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormAbout"));
    ShowWholeCaption(this, choice_.Caption());

    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    auto *picture = new QLabel(this);
    picture->setPixmap(DravelinPicture(QSize(72, 72)));
    picture->setAlignment(Qt::AlignTop);
    top->addWidget(picture);

    auto *texts = new QGridLayout;
    auto *name = NewProductNameLabel(this, 1.6);
    texts->addWidget(name, 0, 0, 1, 2);
    texts->addWidget(new QLabel(QStringLiteral("A single-user register of action items"), this), 1, 0, 1, 2);
    texts->addWidget(new QLabel(QStringLiteral("Version:"), this), 2, 0);
    auto *version = new QLabel(VersionText(), this);
    version->setObjectName(QStringLiteral("LabelVersion"));
    texts->addWidget(version, 2, 1);
    texts->addWidget(new QLabel(QStringLiteral("Build:"), this), 3, 0);
    auto *build = new QLabel(BuildNumber(), this);
    build->setObjectName(QStringLiteral("LabelBuild"));
    texts->addWidget(build, 3, 1);
    texts->addWidget(new QLabel(QStringLiteral("Date:"), this), 4, 0);
    auto *date = new QLabel(BuildDate(), this);
    date->setObjectName(QStringLiteral("LabelDate"));
    texts->addWidget(date, 4, 1);
    auto *splash = new TClickableImage(this);
    splash->setObjectName(QStringLiteral("LabelSplash"));
    splash->setText(QStringLiteral("<u>Show the splash window</u>"));
    splash->setCursor(Qt::PointingHandCursor);
    connect(splash, &TClickableImage::Clicked, this, &TFormAbout::LabelSplashClick);
    texts->addWidget(splash, 5, 0, 1, 2);
    texts->setColumnStretch(1, 1);
    top->addLayout(texts, 1);
    layout->addLayout(top);

    auto *buttons = new QDialogButtonBox(this);
    ButtonLocalIni = buttons->addButton(QStringLiteral("Local &INI"), QDialogButtonBox::ActionRole);
    ButtonLocalIni->setObjectName(QStringLiteral("ButtonLocalIni"));
    ButtonLocalIni->setToolTip(QStringLiteral("Use or do not use Local Ini File"));
    ButtonLocalIni->setStatusTip(ButtonLocalIni->toolTip());
    connect(ButtonLocalIni, &QPushButton::clicked, this, &TFormAbout::ButtonLocalIniClick);
    QPushButton *ok = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("RzBitBtnOK"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

void TFormAbout::ButtonLocalIniClick()
{
    AskToSwitchIniFile(choice_);
    ShowWholeCaption(this, choice_.Caption());
}

void TFormAbout::LabelSplashClick()
{
    TFormSplash splash(true, this);
    Ui().ExecModal(&splash);
}
