#include "core/Failure.h"

const char* Failure::what() const noexcept {
    what_ = description.toUtf8();
    return what_.constData();
}

namespace {
bool printable(char32_t c) {
    return c != QChar::ReplacementCharacter && QChar::isPrint(c);
}
}  // namespace

QString ReadableDescription(const QString& text) {
    QString out;
    out.reserve(std::min(text.size(), kReadableDescriptionLength + 3));
    qsizetype characters = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (characters == kReadableDescriptionLength) {
            out += QStringLiteral("...");
            break;
        }
        ++characters;
        const QChar unit = text[i];
        if (unit.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            const char32_t c = QChar::surrogateToUcs4(unit, text[i + 1]);
            if (printable(c)) {
                out += unit;
                out += text[i + 1];
            } else {
                out += u'?';
            }
            ++i;
        } else {
            out += printable(unit.unicode()) ? unit : QChar(u'?');
        }
    }
    return out;
}
