// Every seed and every case the fuzzers ever found, replayed as a regular test: the token
// reader's against its reference model, the profile reader's through its round trip.
#include "profile_harness.h"
#include "token_reader_harness.h"

#include <QDir>
#include <QFile>
#include <QTest>

using Check = QString (*)(const std::uint8_t*, std::size_t);
Q_DECLARE_METATYPE(Check)

class FuzzCorporaTest : public QObject {
    Q_OBJECT

private slots:
    void casesPass_data();
    void casesPass();
};

void FuzzCorporaTest::casesPass_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<Check>("check");
    const std::pair<const char*, Check> corpora[] = {
        {"corpus", fuzz::CompareWithModel}, {"profile_corpus", fuzz::CheckProfileRoundTrip}};
    for (const auto& [folder, check] : corpora) {
        const QDir corpus(QStringLiteral(FUZZ_DIR "/") + QLatin1String(folder));
        const QStringList files = corpus.entryList(QDir::Files, QDir::Name);
        QVERIFY(!files.isEmpty());
        for (const QString& file : files)
            QTest::addRow("%s/%s", folder, qPrintable(file)) << corpus.filePath(file) << check;
    }
}

void FuzzCorporaTest::casesPass() {
    QFETCH(QString, path);
    QFETCH(Check, check);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray input = file.readAll();

    const QString failure =
        check(reinterpret_cast<const std::uint8_t*>(input.constData()), std::size_t(input.size()));
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

QTEST_GUILESS_MAIN(FuzzCorporaTest)
#include "tst_fuzz_corpora.moc"
