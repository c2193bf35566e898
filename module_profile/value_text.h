// How a value stands in a profile line: plain when it can be, quoted with escapes when a
// plain value would not read back the same.
//
// A value is written plain unless it is blank at either end, holds a ";" (an inline
// comment starts there), starts with a double quote, or holds a control character.
// Otherwise it is written between double quotes, with "\\" for a backslash, "\"" for a
// double quote, "\n", "\r", "\t", and "\xHH" for any other control character.
// Reading trims blanks around the value; a value that starts with a double quote is
// read as quoted, anything else is plain up to the first ";".
#pragma once

#include <QString>
#include <QStringView>

#include <variant>

namespace profile {

struct ValueSyntaxError {
    QString rule;
};

QString QuoteValue(const QString& value);
// The value in the text after "=", without its inline comment.
std::variant<QString, ValueSyntaxError> UnquoteValue(QStringView text);
// Blanks and tabs only: other white space belongs to the value.
QStringView TrimBlanks(QStringView text);

} // namespace profile
