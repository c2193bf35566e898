// Writing a job file: the [Job] keys that are given in file order, then each [Set] value.
#include "job_file_format.h"
#include "value_text.h"

namespace profile {

QByteArray FormatJob(const JobFile& job) {
    const QString ports = job.all ? QStringLiteral("all") : job.ports.join(u' ');
    const QString verify = job.verify ? QStringLiteral("yes") : QStringLiteral("no");
    const QStringList values = {job.profile, ports,        job.values, job.record,
                                job.bench,   verify,       job.log,    job.trace,
                                job.label,   job.labelPdf, job.printer};
    QString text = QStringLiteral("[Job]\n");
    for (qsizetype i = 0; i < kJobKeys.size(); ++i) {
        if (!values[i].isEmpty())
            text += kJobKeys[i] + u'=' + QuoteValue(values[i]) + u'\n';
    }
    text += QStringLiteral("\n[Set]\n");
    for (const QString& set : job.sets) {
        const qsizetype equals = set.indexOf(u'=');
        text += set.left(equals) + u'=' + QuoteValue(set.mid(equals + 1)) + u'\n';
    }
    return text.toUtf8();
}

} // namespace profile
