#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include "core/platform/Paths.h"

#ifdef Q_OS_WIN
#include <windows.h>
#include <QDirIterator>
#else
#include <ftw.h>
#include <stdio.h>
#endif

// A real folder tree in a temporary folder, removed with the object.
class TempTree {
public:
    TempTree() {
        EXPECT_TRUE(dir_.isValid());
        dir_.setAutoRemove(false);
    }
#ifdef Q_OS_WIN
    // Attributes that would keep a file from being removed are cleared first.
    ~TempTree() {
        QDirIterator it(root(),
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            SetFileAttributesW(
                reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(it.next()).utf16()),
                FILE_ATTRIBUTE_NORMAL);
        QDir(root()).removeRecursively();
    }
#else
    // Removed by bytes, so names that no text can spell go too.
    ~TempTree() {
        nftw(
            QFile::encodeName(root()).constData(),
            [](const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); },
            16, FTW_DEPTH | FTW_PHYS);
    }
#endif
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // The root without a trailing separator.
    QString root() const {
        return dir_.path();
    }
    QString path(const QString& relative) const {
        return root() + u'/' + relative;
    }
    // A path below the root as the program writes it: the root, then the platform's separators.
    QString native(QString relative) const {
        return root() + platform::Separator() + relative.replace(u'/', platform::Separator());
    }
    // A path below the root, as native() gives it, relative to the root with "/" separators.
    QString relative(const QString& native) const {
        return native.mid(root().size() + 1).replace(platform::Separator(), u'/');
    }

    QString folder(const QString& relative) const {
        EXPECT_TRUE(QDir().mkpath(path(relative))) << relative.toStdString();
        return path(relative);
    }
    QString file(const QString& relative, const QByteArray& content = "x") const {
        const QString p = path(relative);
        QDir().mkpath(p.left(p.lastIndexOf(u'/')));
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << relative.toStdString();
        f.write(content);
        return p;
    }

    // Makes a file or folder hidden: on Windows by its attribute, elsewhere its name, which starts
    // with a dot, already does.
    QString hidden(const QString& path) const {
#ifdef Q_OS_WIN
        const auto wide = reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16());
        EXPECT_TRUE(SetFileAttributesW(wide, GetFileAttributesW(wide) | FILE_ATTRIBUTE_HIDDEN));
#else
        EXPECT_TRUE(path.section(u'/', -1).startsWith(u'.')) << path.toStdString();
#endif
        return path;
    }

private:
    QTemporaryDir dir_;
};
