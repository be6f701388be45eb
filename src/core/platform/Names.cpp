#include "core/platform/Names.h"

#include "core/platform/Native.h"

#include <QStringDecoder>

namespace platform {

Wildcard::Wildcard(const QString& pattern) : folded_(pattern.toCaseFolded()) {
    everything_ = pattern == QStringLiteral("*.*") || pattern == QStringLiteral("*");
    if (!everything_ && folded_.endsWith(u'.')) {
        noExtension_ = true;
        while (folded_.endsWith(u'.')) folded_.chop(1);
    }
}

bool Wildcard::matches(const QString& name) const {
    if (everything_) return true;
    if (noExtension_ && name.contains(u'.')) return false;
    const QString text = name.toCaseFolded();
    // Greedy matching that remembers the last "*" and retries from one character further on.
    qsizetype p = 0, t = 0, star = -1, resume = 0;
    while (t < text.size()) {
        if (p < folded_.size() && (folded_[p] == u'?' || folded_[p] == text[t])) {
            ++p;
            ++t;
        } else if (p < folded_.size() && folded_[p] == u'*') {
            star = p++;
            resume = t;
        } else if (star >= 0) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < folded_.size() && folded_[p] == u'*') ++p;
    return p == folded_.size();
}

bool HasWildcards(const QString& text) {
    return text.contains(u'*') || text.contains(u'?');
}

bool IsRepresentable(const QString& name) {
#ifdef Q_OS_WIN
    if (name.isEmpty()) return true;
    BOOL usedDefault = FALSE;
    const std::wstring wide = name.toStdWString();
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), int(wide.size()), nullptr, 0,
                        nullptr, &usedDefault);
    return !usedDefault;
#else
    // Every character has a UTF-8 form; only a lone surrogate has none.
    return QString::fromUtf8(name.toUtf8()) == name;
#endif
}

QList<uint> CodePageCodes(const QString& name) {
    constexpr uint kUnrepresentable = 63;
    QList<uint> codes;
    codes.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const bool pair =
            name[i].isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate();
#ifdef Q_OS_WIN
        const wchar_t wide[2] = {wchar_t(name[i].unicode()),
                                 wchar_t(pair ? name[i + 1].unicode() : 0)};
        char bytes[4];
        BOOL usedDefault = FALSE;
        const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, pair ? 2 : 1, bytes,
                                          int(sizeof bytes), nullptr, &usedDefault);
        if (usedDefault || n < 1 || n > 2)
            codes.append(kUnrepresentable);
        else if (n == 1)
            codes.append(uchar(bytes[0]));
        else
            codes.append(uint(uchar(bytes[0])) << 8 | uchar(bytes[1]));
#else
        if (pair)
            codes.append(QChar::surrogateToUcs4(name[i], name[i + 1]));
        else if (name[i].isSurrogate())
            codes.append(kUnrepresentable);
        else
            codes.append(name[i].unicode());
#endif
        if (pair) ++i;
    }
    return codes;
}

bool IsValidNativeName(const QByteArray& nativeName) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(nativeName);
    return !decoder.hasError() && !text.contains(QChar(0));
}

}  // namespace platform
