// A job file: what a production run is asked to do, as the station saves and opens it. The one
// profile reader reads it, with its own sections: [Job] for the profile, ports, values list,
// record and bench, [Set] for the --set values with their placeholders.
#pragma once

#include "profile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <variant>

namespace profile {

// The [Job] keys in file order.
inline const QStringList kJobKeys = {
    QStringLiteral("profile"),   QStringLiteral("ports"),  QStringLiteral("values"),
    QStringLiteral("record"),    QStringLiteral("bench"),  QStringLiteral("verify"),
    QStringLiteral("log"),       QStringLiteral("trace"),  QStringLiteral("label"),
    QStringLiteral("label_pdf"), QStringLiteral("printer")};

struct JobFile {
    // Paths as the file gives them; a relative one is relative to the job file.
    QString profile;
    // COM names or device paths, or every port there is (ports=all).
    QStringList ports;
    bool all = false;
    QString values;
    QString record;
    QString bench;
    bool verify = true;
    QString log;
    QString trace;
    // KEY=VALUE as a --set gives it, in file order; a value is checked once its placeholders
    // are filled for a module.
    QStringList sets;
    // The label template ("default" or a path) and the folder of the labels' PDF files, or the
    // printer of the system that takes them.
    QString label;
    QString labelPdf;
    QString printer;

    bool operator==(const JobFile&) const = default;
};

std::variant<JobFile, ProfileError> ParseJobText(const QString& text);
QByteArray FormatJob(const JobFile& job);

} // namespace profile
