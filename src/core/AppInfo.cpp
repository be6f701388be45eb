#include "core/AppInfo.h"

#include "BuildConfig.h"

namespace {
QString& appTitle() {
    static QString title = kProductName;
    return title;
}
}  // namespace

QString ProgramVersion() {
    return QStringLiteral(VANTRELLE_VERSION);
}
QString SupportAddress() {
    return QStringLiteral(VANTRELLE_SUPPORT_ADDRESS);
}
QString HomePage() {
    return QStringLiteral(VANTRELLE_HOME_PAGE);
}

QString AppTitleFor(const QString& productName) {
    constexpr int kTitleLimit = 40;
    QString title = productName;
    while (title.size() > kTitleLimit && title.contains(u' '))
        title.truncate(title.lastIndexOf(u' '));
    return title;
}

void SetAppTitle() {
    appTitle() = AppTitleFor(kProductName);
}
QString AppTitle() {
    return appTitle();
}
