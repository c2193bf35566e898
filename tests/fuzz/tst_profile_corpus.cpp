// Every seed and every case the profile fuzzer ever found, replayed as a regular test.
#include "profile_harness.h"

#include <QDir>
#include <QFile>
#include <QTest>

class ProfileCorpusTest : public QObject {
    Q_OBJECT

private slots:
    void writtenProfilesReadBack_data();
    void writtenProfilesReadBack();
};

void ProfileCorpusTest::writtenProfilesReadBack_data() {
    QTest::addColumn<QString>("path");
    const QDir corpus(QStringLiteral(CORPUS_DIR));
    const QStringList files = corpus.entryList(QDir::Files, QDir::Name);
    QVERIFY(!files.isEmpty());
    for (const QString& file : files)
        QTest::newRow(qPrintable(file)) << corpus.filePath(file);
}

void ProfileCorpusTest::writtenProfilesReadBack() {
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray input = file.readAll();

    const QString failure = fuzz::CheckProfileRoundTrip(
        reinterpret_cast<const std::uint8_t*>(input.constData()), std::size_t(input.size()));
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

QTEST_GUILESS_MAIN(ProfileCorpusTest)
#include "tst_profile_corpus.moc"
