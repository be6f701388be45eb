#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QPainterPath>

// The program's icon: a blue drum, the database, with a yellow arrow for the files that go in and
// come out. The window icon, the PNG files and the scalable file for the desktop's menu are all
// drawn from these shapes, so they always show the same picture.

// The shapes are laid out on a square grid of this many units.
constexpr int kAppIconGrid = 32;

struct IconShape {
    QPainterPath outline;  // filled odd-even, like a polygon
    QColor fill;
    QColor stroke;
    qreal strokeWidth = 1.0;
};

// The shapes in painting order, the back first.
QList<IconShape> AppIconShapes();

// The icon painted into a transparent square image of size x size pixels.
QImage RenderAppIcon(int size);

// The icon as a scalable SVG document.
QByteArray AppIconSvg();
