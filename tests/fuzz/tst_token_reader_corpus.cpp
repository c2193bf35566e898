// Every seed and every case the fuzzer ever found, replayed as a regular test.
#include "token_reader_harness.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TokenReaderCorpusTest : public QObject {
    Q_OBJECT

private slots:
    void readerAgreesWithModel_data();
    void readerAgreesWithModel();
};

void TokenReaderCorpusTest::readerAgreesWithModel_data() {
    QTest::addColumn<QString>("path");
    const QDir corpus(QStringLiteral(CORPUS_DIR));
    const QStringList files = corpus.entryList(QDir::Files, QDir::Name);
    QVERIFY(!files.isEmpty());
    for (const QString& file : files)
        QTest::newRow(qPrintable(file)) << corpus.filePath(file);
}

void TokenReaderCorpusTest::readerAgreesWithModel() {
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray input = file.readAll();

    const QString failure = fuzz::CompareWithModel(
        reinterpret_cast<const std::uint8_t*>(input.constData()), std::size_t(input.size()));
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

QTEST_GUILESS_MAIN(TokenReaderCorpusTest)
#include "tst_token_reader_corpus.moc"
