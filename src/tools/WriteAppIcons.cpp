// Writes the program's icon files for the desktop's menu into a folder given as the only argument:
// <folder>/scalable/apps/vantrelle.svg and <folder>/<n>x<n>/apps/vantrelle.png at the usual sizes,
// the layout of an icon theme, and <folder>/vantrelle.ico for the Windows executable.

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QString>
#include <QtEndian>
#include <cstdio>

#include "ui/AppIconShapes.h"

namespace {
bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size() && file.flush();
}

// A Windows icon file holding the icon at the sizes Windows shows, each image stored as PNG.
QByteArray icoFile() {
    const QList<int> sizes = {16, 24, 32, 48, 64, 256};
    QList<QByteArray> images;
    for (int size : sizes) {
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        RenderAppIcon(size).save(&png, "PNG");
        images.append(png.data());
    }
    QByteArray out;
    const auto put16 = [&out](quint16 v) {
        char bytes[2];
        qToLittleEndian(v, bytes);
        out.append(bytes, 2);
    };
    const auto put32 = [&out](quint32 v) {
        char bytes[4];
        qToLittleEndian(v, bytes);
        out.append(bytes, 4);
    };
    put16(0);  // reserved
    put16(1);  // an icon, not a cursor
    put16(quint16(sizes.size()));
    quint32 offset = 6 + 16 * quint32(sizes.size());
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        const char side = char(sizes[i] == 256 ? 0 : sizes[i]);  // 0 stands for 256
        out.append(side).append(side).append(char(0)).append(char(0));
        put16(1);   // colour planes
        put16(32);  // bits per pixel
        put32(quint32(images[i].size()));
        put32(offset);
        offset += quint32(images[i].size());
    }
    for (const QByteArray& image : images) out.append(image);
    return out;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <icon theme folder>\n", argv[0]);
        return 2;
    }
    const QString root = QFile::decodeName(argv[1]);
    const QString scalable = root + QStringLiteral("/scalable/apps");
    bool ok = QDir().mkpath(scalable) &&
              writeFile(scalable + QStringLiteral("/vantrelle.svg"), AppIconSvg());
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = root + QStringLiteral("/%1x%1/apps").arg(size);
        ok = QDir().mkpath(folder) &&
             RenderAppIcon(size).save(folder + QStringLiteral("/vantrelle.png"), "PNG") && ok;
    }
    ok = writeFile(root + QStringLiteral("/vantrelle.ico"), icoFile()) && ok;
    if (!ok) std::fprintf(stderr, "%s: could not write the icons into %s\n", argv[0], argv[1]);
    return ok ? 0 : 1;
}
