#pragma once

#include <QDialog>

// The splash window: product picture and name. At start-up it ignores
// clicks; shown again from the About window, a click closes it.
class TFormSplash : public QDialog {
    Q_OBJECT
public:
    explicit TFormSplash(bool closeOnClick = false, QWidget *parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    bool closeOnClick_;
};
