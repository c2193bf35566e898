#include "failure_reason.h"

#include <QRegularExpression>

namespace production_record {

QString ReasonOf(const QString& message) {
    // A quoted value keeps its own quotes escaped (\"), so it ends at the first bare quote.
    static const QRegularExpression quoted(QStringLiteral(R"("(?:[^"\\]|\\.)*")"));
    // How far a write got before it stopped; other counts (the command that failed, the
    // fields a reply held) tell the failure itself.
    static const QRegularExpression count(QStringLiteral(R"(\bafter \d+( of \d+)\b)"));
    return QString(message)
        .replace(quoted, QStringLiteral("\"\u2026\""))
        .replace(count, QStringLiteral("after \u2026\\1"));
}

} // namespace production_record
