// The program's identity: the Windows version resource generated at configure time, and the
// version, desktop id and icon that the running application gets.
#include "resources/program_identity.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QtTest>

namespace {

QString ReadVersionResource() {
    QFile file(QStringLiteral(CORDELO_WINDOWS_RC));
    return file.open(QIODevice::ReadOnly | QIODevice::Text) ? QString::fromLatin1(file.readAll())
                                                            : QString();
}

QRegularExpressionMatch FindLine(const QString& text, const QString& pattern) {
    return QRegularExpression(QStringLiteral("^\\s*") + pattern + QStringLiteral("\\s*$"),
                              QRegularExpression::MultilineOption)
        .match(text);
}

} // namespace

class TstProgramIdentity : public QObject {
    Q_OBJECT

private slots:
    void versionResourceStates_data();
    void versionResourceStates();
    void versionResourceNamesTheApplicationIco();
    void applicationGetsVersionDesktopIdAndIcon();
};

void TstProgramIdentity::versionResourceStates_data() {
    QTest::addColumn<QString>("line");
    QTest::newRow("file version") << QStringLiteral("FILEVERSION\\s+2,0,0,0");
    QTest::newRow("product version") << QStringLiteral("PRODUCTVERSION\\s+2,0,0,0");
    QTest::newRow("string table") << QStringLiteral("BLOCK\\s+\"041004B0\"");
    QTest::newRow("file version text") << QStringLiteral("VALUE\\s+\"FileVersion\",\\s*\"2\\.00\"");
    QTest::newRow("product version text")
        << QStringLiteral("VALUE\\s+\"ProductVersion\",\\s*\"2\\.00\"");
    QTest::newRow("product name") << QStringLiteral(
        "VALUE\\s+\"ProductName\",\\s*\"Cordelo Setup\"");
    QTest::newRow("internal name")
        << QStringLiteral("VALUE\\s+\"InternalName\",\\s*\"Cordelo Setup\"");
    QTest::newRow("file name") << QStringLiteral(
        "VALUE\\s+\"OriginalFilename\",\\s*\"Cordelo Setup\\.exe\"");
    QTest::newRow("description") << QStringLiteral(
        "VALUE\\s+\"FileDescription\",\\s*\"Cordelo Setup\"");
    QTest::newRow("translation") << QStringLiteral("VALUE\\s+\"Translation\",\\s*0x0?410,\\s*1200");
}

void TstProgramIdentity::versionResourceStates() {
    QFETCH(QString, line);
    const QString text = ReadVersionResource();
    QVERIFY2(!text.isEmpty(), "the version resource was not generated");
    QVERIFY2(FindLine(text, line).hasMatch(), qPrintable(line));
    QVERIFY2(!text.contains(QLatin1Char('@')), "a value was left unfilled");
}

void TstProgramIdentity::versionResourceNamesTheApplicationIco() {
    const QRegularExpressionMatch icon =
        FindLine(ReadVersionResource(), QStringLiteral("IDI_ICON1\\s+ICON\\s+\"([^\"]+)\""));
    QVERIFY(icon.hasMatch());
    const QFileInfo named(icon.captured(1));
    QVERIFY2(named.exists(), qPrintable(named.filePath()));
    QCOMPARE(named.canonicalFilePath(),
             QFileInfo(QStringLiteral(CORDELO_APP_ICO)).canonicalFilePath());
}

void TstProgramIdentity::applicationGetsVersionDesktopIdAndIcon() {
    resources::ApplyProgramIdentity();

    const QRegularExpressionMatch numbers = FindLine(
        ReadVersionResource(), QStringLiteral("FILEVERSION\\s+(\\d+),(\\d+),(\\d+),(\\d+)"));
    QVERIFY(numbers.hasMatch());
    QCOMPARE(QGuiApplication::applicationVersion(),
             numbers.capturedTexts().mid(1).join(QLatin1Char('.')));
    // The installed icons carry this name; a mismatch leaves the desktop without an icon.
    QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("io.github.cordelo.CordeloSetup"));

    const QIcon icon = QGuiApplication::windowIcon();
    for (const int size : {16, 24, 32, 48}) {
        QVERIFY2(icon.availableSizes().contains(QSize(size, size)),
                 qPrintable(QString::number(size)));
        QCOMPARE(icon.pixmap(QSize(size, size)).size(), QSize(size, size));
    }
}

QTEST_MAIN(TstProgramIdentity)
#include "tst_program_identity.moc"
