#include "label_decoding.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace doubles {
namespace {

QByteArray Output(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10'000);
    return process.readAllStandardOutput();
}

} // namespace

bool LabelDecodersMissing() {
    for (const char* program : {"pdftoppm", "pdftotext", "zbarimg"}) {
        if (QStandardPaths::findExecutable(program).isEmpty())
            return true;
    }
    return false;
}

QByteArray DecodedCode(const QString& pdf, const QString& scratch) {
    Output("pdftoppm", {"-r", "300", "-png", "-singlefile", pdf, scratch + "/page"});
    return Output("zbarimg", {"--raw", "-q", scratch + "/page.png"}).trimmed();
}

QByteArray DecodedLabel(const QString& pdf, const QString& scratch) {
    return DecodedCode(pdf, scratch) + '\n' + Output("pdftotext", {pdf, "-"});
}

} // namespace doubles
