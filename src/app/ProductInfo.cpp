#include "ProductInfo.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

QString ProductName()
{
    return QStringLiteral("Dravelin® Ostravine");
}

QString VersionText()
{
    return QStringLiteral(DRAVELIN_VERSION);
}

QString BuildDate()
{
    return QStringLiteral(DRAVELIN_BUILD_DATE);
}

QString BuildNumber()
{
    return VersionText().section(QLatin1Char('.'), -1);
}

QLabel *NewProductNameLabel(QWidget *parent, qreal scale)
{
    auto *name = new QLabel(ProductName(), parent);
    name->setObjectName(QStringLiteral("LabelProduct"));
    QFont font = name->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    font.setBold(true);
    name->setFont(font);
    return name;
}

QPixmap DravelinPicture(const QSize &size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area(0.5, 0.5, size.width() - 1.0, size.height() - 1.0);
    QLinearGradient sky(area.topLeft(), area.bottomRight());
    sky.setColorAt(0, QColor(24, 62, 112));
    sky.setColorAt(1, QColor(64, 140, 196));
    painter.setPen(QPen(QColor(16, 40, 72), 1));
    painter.setBrush(sky);
    painter.drawRoundedRect(area, 6, 6);

    // A ticked check mark: the product registers actions until they are done.
    const qreal side = qMin(area.width(), area.height());
    QPainterPath tick;
    tick.moveTo(area.left() + side * 0.22, area.top() + side * 0.52);
    tick.lineTo(area.left() + side * 0.42, area.top() + side * 0.72);
    tick.lineTo(area.left() + side * 0.80, area.top() + side * 0.28);
    painter.setPen(
        QPen(QColor(250, 210, 80), qMax(2.0, side * 0.12), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(tick);

    if (area.width() > area.height() * 1.8) {
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(qMax(8, int(area.height() * 0.34)));
        painter.setFont(font);
        painter.setPen(Qt::white);
        const QRectF text(area.left() + side, area.top(), area.width() - side - 6, area.height());
        painter.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Dravelin"));
    }
    return pixmap;
}
