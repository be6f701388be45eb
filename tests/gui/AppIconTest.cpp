#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QXmlStreamReader>

#include "ui/AppIconShapes.h"
#include "ui/WindowSetup.h"

namespace {

struct SvgShape {
    QPainterPath outline;
    QString fill;
    QString stroke;
    double strokeWidth = 0;
    bool closed = false;
};

// Reads the path data back the way an SVG viewer does: absolute moves, lines and cubic curves.
QPainterPath parsePathData(const QString& data, bool& closed) {
    QPainterPath path;
    const QRegularExpression token(QStringLiteral("[MLCZ]|-?[0-9.]+(?:e-?[0-9]+)?"));
    QStringList tokens;
    for (const auto& m : token.globalMatch(data)) tokens << m.captured();
    closed = false;
    QChar command;
    QList<double> numbers;
    const auto apply = [&] {
        if (command == u'M' && numbers.size() == 2) path.moveTo(numbers[0], numbers[1]);
        if (command == u'L' && numbers.size() == 2) path.lineTo(numbers[0], numbers[1]);
        if (command == u'C' && numbers.size() == 6)
            path.cubicTo(numbers[0], numbers[1], numbers[2], numbers[3], numbers[4], numbers[5]);
        numbers.clear();
    };
    for (const QString& t : tokens) {
        if (t[0].isLetter()) {
            apply();
            command = t[0];
            if (command == u'Z') closed = true;
        } else {
            numbers << t.toDouble();
        }
    }
    apply();
    return path;
}

QList<SvgShape> readSvg(const QByteArray& svg, QString& viewBox) {
    QList<SvgShape> shapes;
    QXmlStreamReader xml(svg);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const auto a = xml.attributes();
        if (xml.name() == u"svg") viewBox = a.value(QLatin1String("viewBox")).toString();
        if (xml.name() == u"path") {
            SvgShape s;
            s.outline = parsePathData(a.value(QLatin1String("d")).toString(), s.closed);
            s.fill = a.value(QLatin1String("fill")).toString();
            s.stroke = a.value(QLatin1String("stroke")).toString();
            s.strokeWidth = a.value(QLatin1String("stroke-width")).toDouble();
            shapes << s;
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return shapes;
}

// The scalable icon installed for the desktop must be the picture the window shows.
TEST(AppIcon, ScalableFileHoldsExactlyTheWindowIconsShapes) {
    QString viewBox;
    const QList<SvgShape> svg = readSvg(AppIconSvg(), viewBox);
    const QList<IconShape> shapes = AppIconShapes();
    EXPECT_EQ(viewBox, "0 0 32 32");
    ASSERT_EQ(svg.size(), shapes.size());
    for (qsizetype i = 0; i < shapes.size(); ++i) {
        SCOPED_TRACE(i);
        const QPainterPath& want = shapes[i].outline;
        const QPainterPath& got = svg[i].outline;
        EXPECT_EQ(svg[i].fill, shapes[i].fill.name());
        EXPECT_EQ(svg[i].stroke, shapes[i].stroke.name());
        EXPECT_DOUBLE_EQ(svg[i].strokeWidth, shapes[i].strokeWidth);
        EXPECT_TRUE(svg[i].closed) << "every shape is a closed figure";
        ASSERT_EQ(got.elementCount(), want.elementCount());
        for (int e = 0; e < want.elementCount(); ++e) {
            EXPECT_EQ(got.elementAt(e).type, want.elementAt(e).type) << e;
            EXPECT_NEAR(got.elementAt(e).x, want.elementAt(e).x, 1e-4) << e;
            EXPECT_NEAR(got.elementAt(e).y, want.elementAt(e).y, 1e-4) << e;
        }
    }
}

// Each size is the whole drawing scaled: transparent corners, the drum's body below the middle and
// the arrow's yellow at its right, at the small window sizes and the large menu sizes alike.
TEST(AppIcon, EverySizeShowsTheDrumAndTheArrow) {
    for (int size : {16, 32, 48, 256}) {
        SCOPED_TRACE(size);
        const QImage image = RenderAppIcon(size);
        ASSERT_EQ(image.size(), QSize(size, size));
        const auto at = [&](double x, double y) {
            return image.pixelColor(int(x * size / 32), int(y * size / 32));
        };
        EXPECT_EQ(at(0.5, 0.5).alpha(), 0);
        EXPECT_EQ(at(0.5, 31.5).alpha(), 0);
        EXPECT_EQ(at(10, 18).rgb(), QColor(40, 90, 170).rgb());
        EXPECT_EQ(at(27.5, 17).rgb(), QColor(250, 190, 40).rgb());
    }
    EXPECT_EQ(AppIcon().availableSizes().size(), 5) << "the window icon offers its five sizes";
}

}  // namespace
