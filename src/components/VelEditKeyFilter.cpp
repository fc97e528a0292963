#include "components/VelEditKeyFilter.h"

namespace cwt {
namespace {

bool IsControlKey(char32_t key) {
    return key == kKeyCtrlC || key == kKeyBackspace || key == kKeyCtrlV || key == kKeyCtrlX;
}

bool IsDigitKey(char32_t key) { return key >= '0' && key <= '9'; }

// The character at `index`, or 0 outside the text.
char16_t CharAt(QStringView text, qsizetype index) {
    return index >= 0 && index < text.size() ? text[index].unicode() : 0;
}

bool DecimalAccepted(char32_t key, QStringView text, int caret, int fixedPoint) {
    if (key == '+' || key == '-') return caret == 0;
    if (key == '.') return fixedPoint > 0 && !text.contains(u'.');
    if (!IsDigitKey(key) && key != ',') return false;

    const qsizetype point = text.indexOf(u'.');
    if (point < 0) return true;
    // Before the point, or right after it, any number of digits may go in.
    if (caret <= point + 1) return true;
    // Further right the fraction is full once FixedPoint characters follow the point. The run
    // is counted with the point and at most 15 characters, as the classic edit did.
    const qsizetype run = qMin<qsizetype>(text.size() - point, 15);
    return run <= fixedPoint;
}

bool PostAccepted(char32_t key, QStringView text, int caret) {
    if (key == '-') return caret != 0 && !text.contains(u'-');
    return IsDigitKey(key);
}

bool PhoneAccepted(char32_t key, QStringView text, int caret) {
    if (key == '(') return caret == 0;
    if (key == ')') {
        if (caret == 0 || text.contains(u')')) return false;
        for (qsizetype i = text.indexOf(u"(0"); i >= 0; i = text.indexOf(u"(0", i + 1)) {
            const char16_t next = CharAt(text, i + 2);
            if (next >= u'1' && next <= u'9') return true;
        }
        return false;
    }
    if (key == '-') {
        if (caret == 0) return false;
        const bool open = text.contains(u'(');
        const bool close = text.contains(u')');
        if (open && !close) return false;
        const char16_t before = CharAt(text, caret - 1);
        return before != u'(' && before != u')' && before != u'-';
    }
    return IsDigitKey(key);
}

bool SaupjaAccepted(char32_t key, QStringView text, int caret) {
    if (key == '-') {
        return (caret == 3 || caret == 6) && CharAt(text, caret) != u'-' &&
               CharAt(text, caret - 2) != u'-';
    }
    return IsDigitKey(key);
}

}  // namespace

bool EditKeyAccepted(TDecimalCase kind, char32_t key, QStringView text, int caret, int fixedPoint) {
    if (IsControlKey(key)) return true;
    switch (kind) {
        case etNormal:
            // Every printable character, Hangul too; other control characters are refused.
            return key >= 32;
        case etDecimal:
        case etPercent:
            return DecimalAccepted(key, text, caret, fixedPoint);
        case etPost:
            return PostAccepted(key, text, caret);
        case etPhone:
            return PhoneAccepted(key, text, caret);
        case etSaupja:
            return SaupjaAccepted(key, text, caret);
        case etNumber:
            return IsDigitKey(key);
    }
    return false;
}

}  // namespace cwt
