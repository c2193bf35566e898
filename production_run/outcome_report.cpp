#include "outcome_report.h"
#include "production_record/printable_text.h"

#include <QJsonArray>

namespace production_run {
namespace {

QJsonValue TextOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

} // namespace

QString ResultName(const ModuleOutcome& outcome) {
    if (outcome.silent && outcome.status == ExitStatus::Done)
        return QStringLiteral("empty");
    return ResultName(outcome.status);
}

QJsonObject OutcomeJson(const ModuleOutcome& outcome) {
    QJsonValue settings;
    if (outcome.settings) {
        QJsonObject keys;
        for (const QString& key : profile::kModuleKeys) {
            if (const auto text = profile::ModuleKeyText(*outcome.settings, key))
                keys.insert(key, *text);
        }
        settings = keys;
    }
    QJsonArray mismatched;
    for (const Mismatch& mismatch : outcome.mismatches)
        mismatched.append(mismatch.key);
    QJsonObject object{
        {QStringLiteral("port"), outcome.port},
        {QStringLiteral("device"), TextOrNull(outcome.device)},
        {QStringLiteral("result"), ResultName(outcome)},
        {QStringLiteral("exit"), static_cast<int>(outcome.status)},
        {QStringLiteral("settings"), settings},
        {QStringLiteral("device_address"), TextOrNull(outcome.deviceAddress)},
        {QStringLiteral("firmware"), TextOrNull(outcome.firmware)},
        {QStringLiteral("written"), QJsonArray::fromStringList(outcome.written)},
        {QStringLiteral("failed"), QJsonArray::fromStringList(outcome.failed)},
        {QStringLiteral("mismatched"), mismatched},
        {QStringLiteral("seconds"), qRound(outcome.seconds * 1000) / 1000.0},
        {QStringLiteral("message"), TextOrNull(outcome.message)},
    };
    if (outcome.label) {
        object.insert(QStringLiteral("label"),
                      QJsonObject{{QStringLiteral("printed"), outcome.label->printed},
                                  {QStringLiteral("file"), TextOrNull(outcome.label->where)},
                                  {QStringLiteral("reason"), TextOrNull(outcome.label->reason)}});
    }
    return object;
}

QString ResultText(Verb verb, const ModuleOutcome& outcome) {
    if (outcome.status != ExitStatus::Done || outcome.silent)
        return {};
    switch (verb) {
    case Verb::Read:
        return QString::fromUtf8(
            profile::FormatProfile({outcome.settings.value_or(profile::ModuleSettings{}),
                                    {outcome.deviceAddress, outcome.firmware}}));
    case Verb::Write:
        return QStringLiteral("%1: wrote %2 settings%3\n")
            .arg(outcome.port)
            .arg(outcome.written.size())
            .arg(outcome.verified ? QStringLiteral(" and verified them")
                 : outcome.message.isEmpty()
                     ? QStringLiteral(", not verified")
                     : QStringLiteral(", not verified (%1)").arg(outcome.message));
    case Verb::Reset:
        return QStringLiteral("%1: reset sent\n").arg(outcome.port);
    case Verb::Ports:
    case Verb::Record:
    case Verb::Label:
        break;
    }
    return {};
}

QString Quoted(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + production_record::PrintableText(escaped) + QLatin1Char('"');
}

QString LabelText(const ModuleOutcome& outcome) {
    if (!outcome.label)
        return {};
    if (outcome.label->printed)
        return QStringLiteral("cordelo-cli: %1: label printed to %2\n")
            .arg(outcome.port, outcome.label->where);
    return QStringLiteral("cordelo-cli: %1: LABEL NOT PRINTED: %2 (the module passed)\n")
        .arg(outcome.port, outcome.label->reason);
}

QString FailureText(const ModuleOutcome& outcome) {
    if (outcome.silent && outcome.status == ExitStatus::Done)
        return QStringLiteral("cordelo-cli: %1: %2\n").arg(outcome.port, outcome.message);
    if (outcome.status == ExitStatus::Done)
        return {};
    const QString prefix = QStringLiteral("cordelo-cli: %1: ").arg(outcome.port);
    if (outcome.mismatches.isEmpty())
        return prefix + outcome.message + QLatin1Char('\n');
    QString text;
    for (const Mismatch& mismatch : outcome.mismatches) {
        text += prefix + QStringLiteral("%1 differs: wanted %2, found %3\n")
                             .arg(mismatch.key, Quoted(mismatch.wanted), Quoted(mismatch.found));
    }
    return text;
}

} // namespace production_run
