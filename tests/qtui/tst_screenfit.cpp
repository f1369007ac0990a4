#include "QtUiServices.h"
#include "ScreenFit.h"

#include <QDialog>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// A dialog of rows of fields on a scrolling page above an OK button, as the
// editors are; it notes its size when shown and closes at once.
class TRowsDialog : public QDialog {
public:
    explicit TRowsDialog(int rows)
    {
        auto *page = new QWidget;
        auto *form = new QFormLayout(page);
        for (int row = 0; row < rows; ++row) {
            auto *edit = new QLineEdit(page);
            edit->setMinimumHeight(20);
            form->addRow(QStringLiteral("Field %1:").arg(row), edit);
        }
        scroll = new TScrollPage(page, this);
        ok = new QPushButton(QStringLiteral("&OK"), this);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(scroll);
        layout->addWidget(ok);
    }

    TScrollPage *scroll;
    QPushButton *ok;
    QSize shownSize;

protected:
    void showEvent(QShowEvent *event) override
    {
        QDialog::showEvent(event);
        shownSize = size();
        QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
    }
};

QSize Room(const QRect &available)
{
    return available.size() - WindowFrameAllowance();
}

} // namespace

class TestScreenFit : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A page asks for all its rows, however many: a scroll area by itself
    // would ask for a couple of dozen text lines at most.
    void scrollPageAsksForItsWholePage()
    {
        TRowsDialog dialog(60);
        const QSize page = dialog.scroll->widget()->sizeHint();
        QCOMPARE(dialog.scroll->sizeHint(), page);
        QVERIFY(dialog.scroll->minimumSizeHint().height() < page.height() / 4);
    }

    // Every window opened through the desktop seam is fitted to its screen:
    // a tall one shrinks to the free area with its OK button inside and its
    // page scrolling; one that fits opens at its natural size, not at the
    // two thirds of the screen Qt gives a window by itself.
    void execModalFitsTheWindowToItsScreen_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("taller than the screen") << 60;
        QTest::newRow("fits") << 0;
    }

    void execModalFitsTheWindowToItsScreen()
    {
        QFETCH(int, rows);
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        const QSize room = Room(available);
        if (rows == 0) {
            // As many rows as make the window just taller than two thirds.
            const int rowHeight = TRowsDialog(2).sizeHint().height() - TRowsDialog(1).sizeHint().height();
            rows = 1;
            while (TRowsDialog(rows).sizeHint().height() <= available.height() * 2 / 3)
                ++rows;
            QVERIFY(TRowsDialog(rows).sizeHint().height() + rowHeight < room.height());
        }
        TRowsDialog dialog(rows);
        const QSize natural = dialog.sizeHint();
        QtUiServices ui;
        ui.ExecModal(&dialog);

        QCOMPARE(dialog.shownSize, natural.boundedTo(room));
        QVERIFY(QRect(QPoint(), dialog.shownSize).contains(QRect(dialog.ok->pos(), dialog.ok->size())));
        QCOMPARE(dialog.scroll->verticalScrollBar()->maximum() > 0, natural.height() > room.height());
    }

    // A window its code placed partly off the screen is moved back onto it.
    void placedWindowIsMovedInside()
    {
        TRowsDialog dialog(3);
        const QRect available(0, 0, 1024, 640);
        dialog.move(900, 600);
        FitWindowToScreen(&dialog, available);
        const QRect frame(dialog.pos(), dialog.size() + WindowFrameAllowance());
        QVERIFY(available.contains(frame));
    }
};

QTEST_MAIN(TestScreenFit)
#include "tst_screenfit.moc"
