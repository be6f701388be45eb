#include "db/ConnectionString.h"

namespace {
bool needsBraces(const QString& value) {
    if (value.isEmpty()) return false;
    return value.contains(u';') || value.contains(u'{') || value.contains(u'}') ||
           value.front().isSpace() || value.back().isSpace();
}

QString quoted(const QString& value) {
    if (!needsBraces(value)) return value;
    QString inner = value;
    inner.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return u'{' + inner + u'}';
}
}  // namespace

QString BuildConnectionString(const ConnectionProfile& p, bool uploadVariant) {
    QString s = QStringLiteral("DRIVER={") + kDriverName + QStringLiteral("};");
    s += QStringLiteral("SERVER=") + quoted(p.server) + u';';
    s += QStringLiteral("USER=") + quoted(p.user) + u';';
    s += QStringLiteral("PASSWORD=") + quoted(p.password) + u';';
    s += QStringLiteral("DATABASE=") + quoted(p.database) + u';';
    s += QStringLiteral("PORT=") + quoted(p.port);
    s += uploadVariant ? QStringLiteral(";OPTION=%1;").arg(kUploadOptions) : QStringLiteral(";");
    return s;
}

QMap<QString, QString> ParseConnectionString(const QString& text) {
    QMap<QString, QString> values;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype eq = text.indexOf(u'=', i);
        if (eq < 0) break;
        const QString key = text.mid(i, eq - i).trimmed().toUpper();
        i = eq + 1;
        QString value;
        if (i < n && text[i] == u'{') {
            ++i;
            while (i < n) {
                if (text[i] == u'}') {
                    if (i + 1 < n && text[i + 1] == u'}') {
                        value += u'}';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i++];
            }
            // Anything between the closing brace and the next ";" is not part of the value.
            const qsizetype semi = text.indexOf(u';', i);
            i = semi < 0 ? n : semi + 1;
        } else {
            const qsizetype semi = text.indexOf(u';', i);
            value = text.mid(i, semi < 0 ? -1 : semi - i);
            i = semi < 0 ? n : semi + 1;
        }
        if (!key.isEmpty()) values.insert(key, value);
    }
    return values;
}
