#pragma once

#include <QComboBox>

// An editable drop-down that can be made read-only like a text field: its
// text still selects and copies, but neither typing, the list, the arrow keys
// nor the mouse wheel change it.
class TChoiceBox : public QComboBox {
    Q_OBJECT
public:
    explicit TChoiceBox(QWidget *parent = nullptr);

    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const { return readOnly_; }

    void showPopup() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    bool readOnly_ = false;
};
