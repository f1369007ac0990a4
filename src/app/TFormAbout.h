#pragma once

#include "TLocalIniChoice.h"

#include <QDialog>

class QPushButton;

// The About window: product, version and build date, the splash window on
// request, and the choice between the local and the global INI file.
class TFormAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget *parent = nullptr);

private:
    void ButtonLocalIniClick();
    void LabelSplashClick();

    TLocalIniChoice choice_;
    QPushButton *ButtonLocalIni;
};
