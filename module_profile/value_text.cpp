// Plain and quoted values of a profile line.
#include "value_text.h"

namespace profile {

namespace {

constexpr QChar kQuote = u'"';
constexpr QChar kBackslash = u'\\';
constexpr QChar kCommentStart = u';';

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

bool IsControl(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

bool NeedsQuotes(const QString& value) {
    if (value.isEmpty())
        return false;
    if (IsBlank(value.front()) || IsBlank(value.back()) || value.front() == kQuote)
        return true;
    for (const QChar c : value) {
        if (c == kCommentStart || IsControl(c))
            return true;
    }
    return false;
}

void AppendEscaped(QString& out, QChar c) {
    switch (c.unicode()) {
    case u'\\':
    case u'"':
        out += kBackslash;
        out += c;
        return;
    case u'\n':
        out += QStringLiteral("\\n");
        return;
    case u'\r':
        out += QStringLiteral("\\r");
        return;
    case u'\t':
        out += QStringLiteral("\\t");
        return;
    default:
        if (IsControl(c))
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'));
        else
            out += c;
    }
}

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

bool IsBlankOrComment(QStringView rest) {
    rest = TrimBlanks(rest);
    return rest.isEmpty() || rest.front() == kCommentStart;
}

std::variant<QString, ValueSyntaxError> ReadQuoted(QStringView text) {
    QString value;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == kQuote) {
            if (!IsBlankOrComment(text.mid(i + 1)))
                return ValueSyntaxError{QStringLiteral("nothing but a comment may follow the "
                                                       "closing quote")};
            return value;
        }
        if (c != kBackslash) {
            value += c;
            continue;
        }
        if (++i == text.size())
            break;
        switch (text[i].unicode()) {
        case u'\\':
        case u'"':
            value += text[i];
            break;
        case u'n':
            value += u'\n';
            break;
        case u'r':
            value += u'\r';
            break;
        case u't':
            value += u'\t';
            break;
        case u'x': {
            const int high = i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
            const int low = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
            if (high < 0 || low < 0)
                return ValueSyntaxError{QStringLiteral("\\x must be followed by two "
                                                       "hexadecimal digits")};
            value += QChar(static_cast<char16_t>(high * 16 + low));
            i += 2;
            break;
        }
        default:
            return ValueSyntaxError{QStringLiteral("unknown escape \\%1 (use \\\\, \\\", \\n, "
                                                   "\\r, \\t or \\xHH)")
                                        .arg(text[i])};
        }
    }
    return ValueSyntaxError{QStringLiteral("the closing quote is missing")};
}

} // namespace

QStringView TrimBlanks(QStringView text) {
    while (!text.isEmpty() && IsBlank(text.front()))
        text = text.mid(1);
    while (!text.isEmpty() && IsBlank(text.back()))
        text.chop(1);
    return text;
}

QString QuoteValue(const QString& value) {
    if (!NeedsQuotes(value))
        return value;
    QString out(kQuote);
    for (const QChar c : value)
        AppendEscaped(out, c);
    out += kQuote;
    return out;
}

std::variant<QString, ValueSyntaxError> UnquoteValue(QStringView text) {
    text = TrimBlanks(text);
    if (!text.isEmpty() && text.front() == kQuote)
        return ReadQuoted(text);
    const qsizetype comment = text.indexOf(kCommentStart);
    if (comment >= 0)
        text = TrimBlanks(text.left(comment));
    return text.toString();
}

} // namespace profile
