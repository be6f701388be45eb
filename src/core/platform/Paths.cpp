#include "core/platform/Paths.h"

#include <QFileInfo>

#ifndef Q_OS_WIN
#include <climits>
#endif

namespace platform {

QString WithoutTrailingSeparator(QString path) {
    while (path.size() > 1 && (path.endsWith(u'/') || path.endsWith(Separator()))) {
        if (QFileInfo(path).isRoot()) break;
        path.chop(1);
    }
    return path;
}

QChar Separator() {
#ifdef Q_OS_WIN
    return u'\\';
#else
    return u'/';
#endif
}

bool HasNetworkPaths() {
#ifdef Q_OS_WIN
    return true;
#else
    return false;
#endif
}

bool PathTooLong(const QString& path) {
#ifdef Q_OS_WIN
    return path.size() >= 260;
#else
    return path.toUtf8().size() >= PATH_MAX;  // PATH_MAX counts the terminating NUL
#endif
}

bool NameTooLong(const QString& name) {
#ifdef Q_OS_WIN
    return name.size() >= 260;
#else
    return name.toUtf8().size() > NAME_MAX;
#endif
}

qsizetype LastSeparator(const QString& path) {
    return qMax(path.lastIndexOf(u'/'), path.lastIndexOf(Separator()));
}

bool HasFolderSeparator(const QString& text) {
    return LastSeparator(text) >= 0;
}

QString FolderPart(const QString& path) {
    qsizetype cut = LastSeparator(path);
#ifdef Q_OS_WIN
    // "C:name" lies in the drive's current folder, not the program's.
    if (cut < 0 && path.size() >= 2 && path.at(1) == u':') cut = 1;
#endif
    return path.left(cut + 1);
}

}  // namespace platform
