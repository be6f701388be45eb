// Writes the program's icon files for the desktop's menu into a folder given as the only argument:
// <folder>/scalable/apps/vantrelle.svg and <folder>/<n>x<n>/apps/vantrelle.png at the usual sizes,
// the layout of an icon theme.

#include <QDir>
#include <QFile>
#include <QString>
#include <cstdio>

#include "app/AppIconShapes.h"

namespace {
bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size() && file.flush();
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
    if (!ok) std::fprintf(stderr, "%s: could not write the icons into %s\n", argv[0], argv[1]);
    return ok ? 0 : 1;
}
