#include "ui/AppIconShapes.h"

#include <QPainter>
#include <QPen>
#include <QPolygonF>

QList<IconShape> AppIconShapes() {
    const QColor outline(20, 40, 90);

    QPainterPath drum;
    drum.moveTo(4, 9);
    drum.lineTo(4, 25);
    drum.arcTo(QRectF(4, 21, 20, 8), 180, 180);
    drum.lineTo(24, 9);
    drum.closeSubpath();

    QPainterPath top;
    top.addEllipse(QRectF(4, 5, 20, 8));

    QPainterPath arrow;
    arrow.addPolygon(
        QPolygonF({{20, 14}, {26, 14}, {26, 10}, {31, 17}, {26, 24}, {26, 20}, {20, 20}}));
    arrow.closeSubpath();

    return {{drum, QColor(40, 90, 170), outline, 1.2},
            {top, QColor(110, 160, 230), outline, 1.2},
            {arrow, QColor(250, 190, 40), QColor(30, 30, 30), 1.0}};
}

QImage RenderAppIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(qreal(size) / kAppIconGrid, qreal(size) / kAppIconGrid);
    for (const IconShape& shape : AppIconShapes()) {
        p.setPen(QPen(shape.stroke, shape.strokeWidth));
        p.setBrush(shape.fill);
        p.drawPath(shape.outline);
    }
    return image;
}

namespace {

QString number(qreal value) {
    return QString::number(value, 'g', 7);
}

QString point(const QPainterPath::Element& e) {
    return number(e.x) + u' ' + number(e.y);
}

// Path data for one outline. A figure that ends where it started is closed, so its outline joins
// there as the painter's does instead of ending in two caps.
QString pathData(const QPainterPath& path) {
    QStringList parts;
    QPointF figureStart;
    QPointF current;
    const auto closeIfBack = [&] {
        if (!parts.isEmpty() && current == figureStart) parts << QStringLiteral("Z");
    };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
            case QPainterPath::MoveToElement:
                closeIfBack();
                parts << u'M' + point(e);
                figureStart = current = e;
                break;
            case QPainterPath::LineToElement:
                parts << u'L' + point(e);
                current = e;
                break;
            case QPainterPath::CurveToElement: {
                const QPainterPath::Element c2 = path.elementAt(i + 1);
                const QPainterPath::Element end = path.elementAt(i + 2);
                parts << u'C' + point(e) + u' ' + point(c2) + u' ' + point(end);
                current = end;
                i += 2;
                break;
            }
            case QPainterPath::CurveToDataElement:
                break;  // consumed with the curve it belongs to
        }
    }
    closeIfBack();
    return parts.join(u' ');
}

}  // namespace

QByteArray AppIconSvg() {
    const QString grid = QString::number(kAppIconGrid);
    QString svg = QStringLiteral(
                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                      "viewBox=\"0 0 %1 %1\">\n")
                      .arg(grid);
    for (const IconShape& shape : AppIconShapes()) {
        svg += QStringLiteral(
                   "  <path d=\"%1\" fill=\"%2\" fill-rule=\"evenodd\" stroke=\"%3\" "
                   "stroke-width=\"%4\" stroke-linejoin=\"bevel\" stroke-linecap=\"square\"/>\n")
                   .arg(pathData(shape.outline), shape.fill.name(), shape.stroke.name(),
                        number(shape.strokeWidth));
    }
    svg += QStringLiteral("</svg>\n");
    return svg.toUtf8();
}
