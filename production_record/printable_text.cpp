#include "printable_text.h"

namespace production_record {

QString PrintableText(const QString& text) {
    QString printable;
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            printable += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            printable += c;
    }
    return printable;
}

} // namespace production_record
