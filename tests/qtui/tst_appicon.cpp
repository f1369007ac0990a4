#include "AppIcon.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {
// A desktop without an icon theme: no folder holds any theme.
void UseNoTheme(const QTemporaryDir &empty)
{
    QIcon::setThemeSearchPaths({empty.path()});
    QIcon::setFallbackSearchPaths({});
    QIcon::setThemeName(QStringLiteral("none"));
}

// A theme that draws "go-next" and the program's icon as red squares.
void UseRedTheme(const QTemporaryDir &root)
{
    QDir(root.path()).mkpath(QStringLiteral("red/24x24/actions"));
    QFile index(root.filePath(QStringLiteral("red/index.theme")));
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=red\nDirectories=24x24/actions\n\n"
                "[24x24/actions]\nSize=24\nType=Fixed\nContext=Actions\n");
    index.close();
    QImage red(24, 24, QImage::Format_ARGB32);
    red.fill(Qt::red);
    for (const char *name : {"go-next", kApplicationId})
        QVERIFY(red.save(root.filePath(QStringLiteral("red/24x24/actions/%1.png").arg(QLatin1String(name)))));
    QIcon::setThemeSearchPaths({root.path()});
    QIcon::setFallbackSearchPaths({});
    QIcon::setThemeName(QStringLiteral("red"));
}

QRgb Centre(const QIcon &icon)
{
    const QImage image = icon.pixmap(24, 24).toImage();
    return image.isNull() ? 0 : image.pixel(image.width() / 2, image.height() / 2);
}
} // namespace

class TestAppIcon : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void bundledIconStandsInWithoutTheme_data();
    void bundledIconStandsInWithoutTheme();
    void themeIconWinsOverBundled();
    void bundledSetSharesOneGridAndNoPicture();
    void bundledLinesShowOnEitherPalette_data();
    void bundledLinesShowOnEitherPalette();

private:
    QString themeName_;
    QStringList themePaths_;
    QStringList fallbackPaths_;
};

void TestAppIcon::initTestCase()
{
    themeName_ = QIcon::themeName();
    themePaths_ = QIcon::themeSearchPaths();
    fallbackPaths_ = QIcon::fallbackSearchPaths();
}

void TestAppIcon::cleanup()
{
    QIcon::setThemeSearchPaths(themePaths_);
    QIcon::setFallbackSearchPaths(fallbackPaths_);
    QIcon::setThemeName(themeName_);
}

void TestAppIcon::bundledIconStandsInWithoutTheme_data()
{
    QTest::addColumn<QString>("name");
    // Every bundled picture draws (the window walk of the window tests checks
    // that every icon a window shows has one).
    const QStringList names = BundledIconNames();
    QVERIFY(names.size() > 40);
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << name;
}

void TestAppIcon::bundledIconStandsInWithoutTheme()
{
    QFETCH(QString, name);
    QTemporaryDir empty;
    UseNoTheme(empty);
    const QIcon icon = AppIcon(name);
    QVERIFY(!icon.isNull());
    // Drawn, not blank: the SVG parses and the icon engine for it is there.
    const QImage image = icon.pixmap(24, 24).toImage();
    QCOMPARE(image.size(), QSize(24, 24));
    bool inked = false;
    for (int y = 0; y < image.height() && !inked; ++y)
        for (int x = 0; x < image.width() && !inked; ++x)
            inked = qAlpha(image.pixel(x, y)) > 0;
    QVERIFY(inked);
    QVERIFY(BundledIconNames().contains(name));
}

void TestAppIcon::bundledLinesShowOnEitherPalette_data()
{
    QTest::addColumn<QColor>("window");
    QTest::addColumn<QColor>("text");
    QTest::newRow("light") << QColor(239, 239, 239) << QColor(0, 0, 0);
    QTest::newRow("dark") << QColor(53, 53, 53) << QColor(238, 238, 238);
}

// The bundled arrows stand out from the window behind them, on a light and
// on a dark desktop theme, at every size a toolbar asks for.
void TestAppIcon::bundledLinesShowOnEitherPalette()
{
    QFETCH(QColor, window);
    QFETCH(QColor, text);
    QTemporaryDir empty;
    UseNoTheme(empty);
    const QPalette before = QGuiApplication::palette();
    const auto restore = qScopeGuard([&] { QGuiApplication::setPalette(before); });
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    QGuiApplication::setPalette(palette);
    for (const char *name : {"go-next", "go-first", "edit-delete"}) {
        for (const int side : {16, 24, 32}) {
            const QImage image = AppIcon(QLatin1String(name)).pixmap(side, side).toImage();
            QVERIFY(!image.isNull());
            // The most distinct inked pixel differs from the window by more
            // than half the range of lightness.
            int farthest = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (qAlpha(image.pixel(x, y)) > 128)
                        farthest = std::max(
                            farthest, std::abs(QColor(image.pixel(x, y)).lightness() - window.lightness()));
            QVERIFY2(farthest > 128,
                     qPrintable(QStringLiteral("%1 at %2").arg(QLatin1String(name)).arg(side)));
        }
    }
}

void TestAppIcon::themeIconWinsOverBundled()
{
    QTemporaryDir empty;
    UseNoTheme(empty);
    const QRgb bundledNext = Centre(AppIcon(QStringLiteral("go-next")));
    QVERIFY(!ProgramIcon().isNull());
    QVERIFY(AppIcon(QStringLiteral("no-such-icon-anywhere")).isNull());

    QTemporaryDir root;
    UseRedTheme(root);
    QCOMPARE(Centre(AppIcon(QStringLiteral("go-next"))), QColor(Qt::red).rgba());
    QCOMPARE(Centre(ProgramIcon()), QColor(Qt::red).rgba());
    QVERIFY(bundledNext != QColor(Qt::red).rgba());
    // A name the theme lacks still shows the bundled picture.
    QVERIFY(!AppIcon(QStringLiteral("go-first")).isNull());
    QVERIFY(Centre(AppIcon(QStringLiteral("go-first"))) != QColor(Qt::red).rgba());
}

void TestAppIcon::bundledSetSharesOneGridAndNoPicture()
{
    QSet<QByteArray> pictures;
    const QStringList names = BundledIconNames();
    QVERIFY(!names.contains(QStringLiteral("dravelin")));
    for (const QString &name : names) {
        QFile file(QStringLiteral(":/icons/") + name + QStringLiteral(".svg"));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(name));
        const QByteArray content = file.readAll();
        // One meaning, one icon: no two names share a picture.
        const QByteArray hash = QCryptographicHash::hash(content, QCryptographicHash::Sha256);
        QVERIFY2(!pictures.contains(hash), qPrintable(name));
        pictures.insert(hash);
        // No 16-pixel icon among 24-pixel ones.
        QXmlStreamReader svg(content);
        QVERIFY2(svg.readNextStartElement(), qPrintable(name));
        QCOMPARE(svg.name(), QLatin1String("svg"));
        QCOMPARE(svg.attributes().value(QLatin1String("viewBox")), QLatin1String("0 0 24 24"));
        QCOMPARE(svg.attributes().value(QLatin1String("width")), QLatin1String("24"));
        QCOMPARE(svg.attributes().value(QLatin1String("height")), QLatin1String("24"));
    }
}

QTEST_MAIN(TestAppIcon)
#include "tst_appicon.moc"
