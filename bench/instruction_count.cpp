// Runs a program under callgrind and reads the total it reports.
#include "instruction_count.h"

#include <QProcess>
#include <QRegularExpression>

namespace bench {

namespace {

constexpr int kRunLimitMs = 120'000;

} // namespace

std::optional<double> CountInstructions(const QString& program) {
    QProcess valgrind;
    valgrind.setProcessChannelMode(QProcess::SeparateChannels);
    // The profile itself is not needed: callgrind says its total on standard error.
    valgrind.start(QStringLiteral("valgrind"),
                   {QStringLiteral("--tool=callgrind"),
                    QStringLiteral("--callgrind-out-file=/dev/null"), program});
    if (!valgrind.waitForFinished(kRunLimitMs) || valgrind.exitStatus() != QProcess::NormalExit ||
        valgrind.exitCode() != 0)
        return std::nullopt;
    static const QRegularExpression collected(QStringLiteral("Collected : (\\d+)"));
    const QRegularExpressionMatch match =
        collected.match(QString::fromLocal8Bit(valgrind.readAllStandardError()));
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toDouble();
}

} // namespace bench
