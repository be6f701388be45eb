#pragma once

#include <gtest/gtest.h>

#include <ftw.h>
#include <stdio.h>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// A real folder tree in a temporary folder, removed with the object.
class TempTree {
public:
    TempTree() {
        EXPECT_TRUE(dir_.isValid());
        dir_.setAutoRemove(false);
    }
    // Removed by bytes, so names that no text can spell go too.
    ~TempTree() {
        nftw(
            QFile::encodeName(root()).constData(),
            [](const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); },
            16, FTW_DEPTH | FTW_PHYS);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // The root without a trailing separator.
    QString root() const { return dir_.path(); }
    QString path(const QString& relative) const { return root() + u'/' + relative; }

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

private:
    QTemporaryDir dir_;
};
