#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include "core/FileFailure.h"
#include "core/Steps.h"
#include "support/ScriptedDialogs.h"

namespace {

TEST(ReadableDescription, ShowsUnprintableCharactersAsQuestionMarksAndCutsAt400) {
    const QString a400(400, u'a');
    const QString emoji = QString::fromUtf8("\xF0\x9F\x93\xB7");  // one code point, two units
    struct Case {
        QString in, want;
    };
    const Case cases[] = {
        {"Table 'db.t' doesn't exist", "Table 'db.t' doesn't exist"},
        {QString::fromUtf8("Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC"),
         QString::fromUtf8("Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC")},
        {QStringLiteral("a\r\nb\tc") + QChar(0) + QChar(0x7F) + QChar(0x9B) + "d", "a??b?c???d"},
        // bytes that were no text, a formatting mark, a lone surrogate, a private-use character
        {QString::fromUtf8("x\x89PNG\xFF") + QChar(0x200E) + QChar(0xD800) + QChar(0xE000),
         "x?PNG????"},
        {emoji, emoji},
        {a400, a400},
        {a400 + "b", a400 + "..."},
        {QString(399, u'a') + emoji + "tail", QString(399, u'a') + emoji + "..."},
        {QString(2000, QChar(1)), QString(400, u'?') + "..."},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadableDescription(c.in), c.want) << c.in.toStdString();
}

TEST(ReadableDescription, EveryErrorReportGoesThroughIt) {
    ScriptedDialogs dialogs;
    Steps steps(dialogs, Location::of("Form2", "PushButton7_Click"));
    static const char raw[] = "Incorrect integer value: '\x89PNG\r\n\x1A\n\0\0\0\rIHDR' for column";
    const QByteArray fileBytes(raw, sizeof raw - 1);
    steps.run(110,
              [&] { throw Failure(1366, QString::fromLatin1(fileBytes) + QString(500, u'x')); });
    steps.run(112, [&] { throw std::runtime_error("bad\x01thing"); });
    ASSERT_EQ(dialogs.reports().size(), 2);
    const QString first = dialogs.reports()[0];
    EXPECT_TRUE(first.startsWith("Incorrect integer value: '?PNG????????IHDR' for column"))
        << first.toStdString();
    EXPECT_TRUE(
        first.contains("xxx...\r\nin Tarnwick2021/08/31.Form2.PushButton7_Click at line 110"));
    EXPECT_EQ(first.indexOf("...\r\n"), 400);
    EXPECT_TRUE(dialogs.reports()[1].startsWith("bad?thing\r\n"));
}

TEST(FileFailure, CarriesTheSystemsOwnReason) {
    QTemporaryDir dir;
    struct Case {
        FileAction action;
        QString path;
        QIODevice::OpenMode mode;
        QString want;
    };
#ifdef Q_OS_WIN
    const QString missingFile = qt_error_string(ERROR_FILE_NOT_FOUND);
    const QString missingFolder = qt_error_string(ERROR_PATH_NOT_FOUND);
#else
    const QString missingFile = QStringLiteral("No such file or directory");
    const QString missingFolder = missingFile;
#endif
    const Case cases[] = {
        {FileAction::Read, dir.path() + "/missing", QIODevice::ReadOnly,
         "could not be read: " + missingFile},
        {FileAction::Write, dir.path() + "/no/such/folder/f", QIODevice::WriteOnly,
         "could not be written: " + missingFolder},
    };
    for (const Case& c : cases) {
        QFile file(c.path);
        ASSERT_FALSE(file.open(c.mode));
        const Failure f = FileFailure(c.action, c.path, file);
        EXPECT_EQ(f.number, Failure::kPathFileAccessError);
        EXPECT_EQ(f.description, "The file \"" + c.path + "\" " + c.want);
    }
}

}  // namespace
