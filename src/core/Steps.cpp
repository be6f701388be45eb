#include "core/Steps.h"

#include "core/AppInfo.h"

namespace {
const QString kProgramPrefix = QStringLiteral("Tarnwick2021/08/31");
const QString kFolderScanPrefix = QStringLiteral("Corvalin2021/08/31");

QString locationText(const QString& prefix, const QString& module, const QString& procedure) {
    return QStringLiteral("in ") + prefix + u'.' + module + u'.' + procedure + u' ';
}
}  // namespace

Location Location::of(const QString& module, const QString& procedure) {
    return Location(locationText(kProgramPrefix, module, procedure));
}

Location Location::folderScan(const QString& module, const QString& procedure) {
    return Location(locationText(kFolderScanPrefix, module, procedure));
}

QString ReportText(const QString& description, const Location& where, int line) {
    // Every report passes here, so no description, whatever its source, reaches a dialog unread.
    return ReadableDescription(description) + QStringLiteral("\r\n") + where.text() +
           QStringLiteral("at line ") + QString::number(line) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") + SupportAddress();
}

void Steps::report(int line, const QString& description) {
    reporter_.errorReport(ReportText(description, where_, line));
}
