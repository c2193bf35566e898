#include "job_file.h"

#include "module_profile/job_file_format.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace station {
namespace {

// A relative path is one beside the job file, wherever the station was started.
QString BesideFile(const QDir& folder, const QString& path) {
    return path.isEmpty() ? path : QDir::cleanPath(folder.absoluteFilePath(path));
}

// Windows calls a rooted path such as /dev/ttyUSB0 relative to the drive; it is kept as given.
bool IsRelative(const QString& path) {
    return QDir::isRelativePath(path) && !path.startsWith(QLatin1Char('/'));
}

// A path as the file keeps it: relative to the file's folder when it lies within, so that the
// folder can be moved as a whole; absolute otherwise. A relative path in the form is relative
// to the working directory, as the line opens it.
QString AsKept(const QDir& folder, const QString& path) {
    if (path.isEmpty())
        return path;
    const QString absolute =
        IsRelative(path) ? QDir::cleanPath(QDir::current().absoluteFilePath(path)) : path;
    const QString relative = folder.relativeFilePath(absolute);
    return relative.startsWith(QLatin1String("..")) || QDir::isAbsolutePath(relative) ? absolute
                                                                                      : relative;
}

bool IsDatabaseUrl(const QString& target) {
    return target.startsWith(QLatin1String("postgresql:")) ||
           target.startsWith(QLatin1String("postgres:"));
}

// A port given by a path with a folder in it is a path like any other; a COM name or a bare
// device name (ttyUSB0) is no path.
bool IsPortPath(const QString& port) {
    return port.contains(QLatin1Char('/'));
}

QStringList PortsBesideFile(const QDir& folder, const QStringList& ports) {
    QStringList resolved;
    for (const QString& port : ports)
        resolved << (IsPortPath(port) && IsRelative(port) ? BesideFile(folder, port) : port);
    return resolved;
}

QStringList PortsAsKept(const QDir& folder, const QStringList& ports) {
    QStringList kept;
    for (const QString& port : ports)
        kept << (IsPortPath(port) ? AsKept(folder, port) : port);
    return kept;
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
    job.ports = PortsBesideFile(folder, file.ports);
    job.all = file.all;
    job.sets = file.sets;
    job.valuesPath = BesideFile(folder, file.values);
    job.recordTarget = IsDatabaseUrl(file.record) ? file.record : BesideFile(folder, file.record);
    job.bench = file.bench;
    job.verify = file.verify;
    job.logPath = BesideFile(folder, file.log);
    job.tracePath = BesideFile(folder, file.trace);
    job.labelTemplate =
        file.label == QLatin1String("default") ? file.label : BesideFile(folder, file.label);
    job.labelPdfFolder = BesideFile(folder, file.labelPdf);
    job.labelPrinter = file.printer;
    // As on the command line: a label goes to one place, and a place needs a label.
    if (!file.label.isEmpty() && file.labelPdf.isEmpty() == file.printer.isEmpty())
        return path + QStringLiteral(": label= goes with one of label_pdf= and printer=: where "
                                     "each unit's label goes");
    if (file.label.isEmpty() && !(file.labelPdf.isEmpty() && file.printer.isEmpty()))
        return path + QStringLiteral(": label_pdf= and printer= need label=: the template of "
                                     "each unit's label");
    return job;
}

std::optional<QString> WriteJobFile(const QString& path, const production_run::Job& job) {
    const QDir folder = QFileInfo(path).absoluteDir();
    const QString record =
        IsDatabaseUrl(job.recordTarget) ? job.recordTarget : AsKept(folder, job.recordTarget);
    const profile::JobFile file{AsKept(folder, job.profilePath),
                                PortsAsKept(folder, job.ports),
                                job.all,
                                AsKept(folder, job.valuesPath),
                                record,
                                job.bench,
                                job.verify,
                                AsKept(folder, job.logPath),
                                AsKept(folder, job.tracePath),
                                job.sets,
                                job.labelTemplate == QLatin1String("default")
                                    ? job.labelTemplate
                                    : AsKept(folder, job.labelTemplate),
                                AsKept(folder, job.labelPdfFolder),
                                job.labelPrinter};
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(profile::FormatJob(file)) < 0 || !out.commit())
        return QStringLiteral("%1: %2").arg(path, out.errorString());
    return std::nullopt;
}

} // namespace station
