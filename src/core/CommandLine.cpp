#include "core/CommandLine.h"

#include "core/AppInfo.h"
#include "core/Settings.h"
#include "core/platform/SettingsStore.h"

namespace {
QString helpText() {
    return QStringLiteral(
               "Usage: vantrelle [--help | --version]\n"
               "\n"
               "%1 moves whole files into and out of binary (BLOB) columns of a MySQL or\n"
               "MariaDB database: it writes one column of every row of a table to numbered\n"
               "files, and stores each file of a list as a new row. It opens a login window and\n"
               "takes no other arguments; any other argument is ignored. Its settings, the\n"
               "password among them as typed, are kept for the current user in:\n"
               "  %2\n")
        .arg(kProductName, platform::SettingsStoreLocation(Settings::kAppName));
}
}  // namespace

std::optional<QString> CommandLineAnswer(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == u"--version") return kProductName + u' ' + ProgramVersion() + u'\n';
        if (argument == u"--help") return helpText();
    }
    return std::nullopt;
}
