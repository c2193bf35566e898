#include "job_file.h"

#include "module_profile/job_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace station {
namespace {

// A relative path is one beside the job file, wherever the station was started.
QString BesideFile(const QDir& folder, const QString& path) {
    return path.isEmpty() ? path : QDir::cleanPath(folder.absoluteFilePath(path));
}

bool IsDatabaseUrl(const QString& target) {
    return target.startsWith(QLatin1String("postgresql:")) ||
           target.startsWith(QLatin1String("postgres:"));
}

} // namespace

std::variant<production_run::Job, QString> ReadJobFile(const QString& path) {
    const auto text = profile::ReadProfileFile(path);
    const auto* unread = std::get_if<profile::ProfileError>(&text);
    const auto parsed = unread ? std::variant<profile::JobFile, profile::ProfileError>(*unread)
                               : profile::ParseJobText(std::get<QString>(text));
    if (const auto* error = std::get_if<profile::ProfileError>(&parsed))
        return path + QStringLiteral(": ") + profile::DescribeProfileError(*error);
    const auto& file = std::get<profile::JobFile>(parsed);
    const QDir folder = QFileInfo(path).absoluteDir();
    production_run::Job job;
    job.verb = production_run::Verb::Write;
    job.profilePath = BesideFile(folder, file.profile);
    job.ports = file.ports;
    job.all = file.all;
    job.sets = file.sets;
    job.valuesPath = BesideFile(folder, file.values);
    job.recordTarget = IsDatabaseUrl(file.record) ? file.record : BesideFile(folder, file.record);
    job.bench = file.bench;
    job.verify = file.verify;
    job.logPath = BesideFile(folder, file.log);
    job.tracePath = BesideFile(folder, file.trace);
    return job;
}

std::optional<QString> WriteJobFile(const QString& path, const production_run::Job& job) {
    const profile::JobFile file{job.profilePath,  job.ports, job.all,    job.valuesPath,
                                job.recordTarget, job.bench, job.verify, job.logPath,
                                job.tracePath,    job.sets};
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(profile::FormatJob(file)) < 0 || !out.commit())
        return QStringLiteral("%1: %2").arg(path, out.errorString());
    return std::nullopt;
}

} // namespace station
