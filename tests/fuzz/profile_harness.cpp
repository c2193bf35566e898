#include "profile_harness.h"

#include "module_profile/profile.h"

#include <QByteArray>
#include <QList>

namespace fuzz {
namespace {

// Empty when the profile, written and read again, comes back the same.
QString ReadsBackTheSame(const profile::Profile& written, const char* origin) {
    const QByteArray text = profile::FormatProfile(written);
    const auto read = profile::ParseProfile(text);
    if (const auto* error = std::get_if<profile::ProfileError>(&read)) {
        return QStringLiteral("%1: the written profile is refused (%2):\n%3")
            .arg(QLatin1String(origin), profile::DescribeProfileError(*error),
                 QString::fromUtf8(text));
    }
    if (std::get<profile::Profile>(read) != written) {
        return QStringLiteral("%1: the written profile reads back otherwise:\n%2")
            .arg(QLatin1String(origin), QString::fromUtf8(text));
    }
    return {};
}

profile::Profile ProfileFromValues(const QByteArray& bytes) {
    const QList<QByteArray> values = bytes.split('\0');
    profile::Profile made;
    for (qsizetype i = 0; i < values.size(); ++i) {
        const QString value = QString::fromUtf8(values[i]);
        if (i < profile::kModuleKeys.size()) {
            // A value the rules refuse stays absent, as the window and the CLI leave it.
            profile::ModuleSettings trial = made.module;
            if (!profile::SetModuleKey(trial, profile::kModuleKeys[i], value))
                made.module = trial;
        } else if (i == profile::kModuleKeys.size()) {
            made.device.address = value;
        } else {
            made.device.firmware += value;
        }
    }
    return made;
}

} // namespace

QString CheckProfileRoundTrip(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto read = profile::ParseProfile(bytes);
    if (const auto* taken = std::get_if<profile::Profile>(&read)) {
        const QString failure = ReadsBackTheSame(*taken, "as a file");
        if (!failure.isEmpty())
            return failure;
    }
    return ReadsBackTheSame(ProfileFromValues(bytes), "as values");
}

} // namespace fuzz
