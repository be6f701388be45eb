#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

// The names of every file in a folder, hidden ones too, in name order.
inline QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// A path with the platform's own separators, as the program's lists and folder browser give it.
inline QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// Makes an empty file at the relative path below the folder, with the folders it lies in; gives
// its path.
inline QString MakeEmptyFile(const QString& folder, const QString& relative) {
    const QString path = folder + u'/' + relative;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << relative.toStdString();
    return path;
}

// The bytes of a file, or "<missing>" when it cannot be read.
inline QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
