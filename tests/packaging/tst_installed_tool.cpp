// Smoke test of the installed package: the installed tool, on a real X display, clicked like a
// user does, connects to the installed virtual module and its lamp turns green.
// scripts/smoke-installed.sh installs the package and runs this under Xvfb.
#include "program_run.h"

#include <QColor>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>

using namespace std::chrono_literals;
using packaging_tests::HaveProgram;
using packaging_tests::ProgramRun;
using packaging_tests::RunProgram;

namespace {

const QString kInstalledTool = QStringLiteral("/usr/bin/cordelo-setup");
const QString kInstalledModule = QStringLiteral("/usr/bin/cordelo-virtual-module");
const QString kDesktopEntry =
    QStringLiteral("/usr/share/applications/io.github.cordelo.CordeloSetup.desktop");
const QString kWindowTitle = QStringLiteral("Cordelo Setup v1.1");
const QString kPackageName = QStringLiteral("cordelo-setup");
const QString kPackageVersion = QStringLiteral("2.0.0");

// Points in the window at 96 dpi, from the window's design in twips (15 per pixel): the middle
// of the Connect button, and the middle of the status lamp inside the "Comm" frame.
const QPoint kConnectButtonCentre(64, 104);
const QPoint kLampCentre(112, 104);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);

// Bounds on waiting for something that should happen; none of them is a measurement.
constexpr auto kStartLimit = 20s;
constexpr auto kConnectLimit = 10s;
constexpr auto kToolLimit = 20s;

// QTRY_* take their limits as a number of milliseconds.
constexpr int Milliseconds(std::chrono::milliseconds limit) {
    return static_cast<int>(limit.count());
}

QString ColourText(const QColor& colour) {
    return QStringLiteral("rgb(%1, %2, %3)")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue());
}

} // namespace

class TestInstalledTool : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void programsComeFromThePackage_data();
    void programsComeFromThePackage();
    void toolShowsItsWindowWithTheLampRed();
    void windowClassMatchesTheDesktopEntry();
    void connectTurnsTheLampGreen();
    void moduleSawTheConnectExchange_data();
    void moduleSawTheConnectExchange();
    void connectedToolKeepsPinging();

private:
    QColor lampColour() const;
    QString moduleTrace();
    int countInTrace(const QString& command);

    QTemporaryDir m_configuration;
    QProcess m_module;
    QProcess m_tool;
    QString m_trace;
    WId m_window = 0;
};

void TestInstalledTool::initTestCase() {
    QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
             "needs an X display: run it through scripts/smoke-installed.sh");
    QVERIFY2(QFile::exists(kInstalledTool) && QFile::exists(kInstalledModule),
             "the package is not installed: run scripts/smoke-installed.sh");
    QVERIFY2(HaveProgram(QStringLiteral("xdotool")),
             "xdotool is missing; scripts/install-deps.sh installs it");
    QVERIFY(m_configuration.isValid());

    // The user's own settings are neither read nor changed: the module maps COM1 here.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_configuration.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // One window pixel per screen pixel, so that the design's positions hold.
    environment.insert(QStringLiteral("QT_ENABLE_HIGHDPI_SCALING"), QStringLiteral("0"));
    environment.remove(QStringLiteral("QT_SCALE_FACTOR"));

    m_module.setProcessEnvironment(environment);
    m_module.setProcessChannelMode(QProcess::MergedChannels);
    m_module.start(kInstalledModule, {QStringLiteral("--com"), QStringLiteral("1")});
    QVERIFY2(m_module.waitForStarted(), qPrintable(m_module.errorString()));
    QTRY_VERIFY2_WITH_TIMEOUT(moduleTrace().contains(QLatin1String("ready")),
                              qPrintable(moduleTrace()), Milliseconds(kStartLimit));

    m_tool.setProcessEnvironment(environment);
    m_tool.setProcessChannelMode(QProcess::MergedChannels);
    m_tool.start(kInstalledTool, {});
    QVERIFY2(m_tool.waitForStarted(), qPrintable(m_tool.errorString()));

    const ProgramRun search = RunProgram(
        QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
         QStringLiteral("--all"), QStringLiteral("--pid"), QString::number(m_tool.processId()),
         QStringLiteral("--name"),
         QStringLiteral("^%1$").arg(QRegularExpression::escape(kWindowTitle))},
        kStartLimit);
    QVERIFY2(search.succeeded(), qPrintable(search.describe(QStringLiteral("xdotool search")) +
                                            QStringLiteral("\ntool said:\n") +
                                            QString::fromLocal8Bit(m_tool.readAll())));
    const QStringList windows = search.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(windows.size(), 1);
    bool isNumber = false;
    m_window = static_cast<WId>(windows.constFirst().toULongLong(&isNumber));
    QVERIFY2(isNumber, qPrintable(search.output));
}

void TestInstalledTool::cleanupTestCase() {
    for (QProcess* process : {&m_tool, &m_module}) {
        if (process->state() == QProcess::NotRunning)
            continue;
        // The module puts the previous port mapping back when it is asked to stop.
        process->terminate();
        if (!process->waitForFinished(Milliseconds(kToolLimit)))
            process->kill();
        process->waitForFinished();
    }
}

void TestInstalledTool::programsComeFromThePackage_data() {
    QTest::addColumn<QString>("program");
    QTest::newRow("cordelo-setup") << kInstalledTool;
    QTest::newRow("cordelo-virtual-module") << kInstalledModule;
}

void TestInstalledTool::programsComeFromThePackage() {
    QFETCH(QString, program);
    const ProgramRun owner =
        RunProgram(QStringLiteral("dpkg-query"), {QStringLiteral("--search"), program}, kToolLimit);
    QVERIFY2(owner.succeeded(), qPrintable(owner.describe(QStringLiteral("dpkg-query --search"))));
    QCOMPARE(owner.output.trimmed(), QStringLiteral("%1: %2").arg(kPackageName, program));

    const ProgramRun version = RunProgram(
        QStringLiteral("dpkg-query"),
        {QStringLiteral("--show"), QStringLiteral("--showformat=${Version}"), kPackageName},
        kToolLimit);
    QVERIFY2(version.succeeded(),
             qPrintable(version.describe(QStringLiteral("dpkg-query --show"))));
    QCOMPARE(version.output.trimmed(), kPackageVersion);
}

void TestInstalledTool::toolShowsItsWindowWithTheLampRed() {
    QVERIFY(m_window != 0);
    // Red before Connect also proves that the lamp is where this test looks for it.
    QTRY_COMPARE_WITH_TIMEOUT(ColourText(lampColour()), ColourText(kRed),
                              Milliseconds(kStartLimit));
    QCOMPARE(m_tool.state(), QProcess::Running);
}

void TestInstalledTool::windowClassMatchesTheDesktopEntry() {
    QFile entry(kDesktopEntry);
    QVERIFY(entry.open(QIODevice::ReadOnly));
    QString windowClass;
    for (const QByteArray& line : entry.readAll().split('\n')) {
        if (line.startsWith("StartupWMClass="))
            windowClass = QString::fromUtf8(line.mid(line.indexOf('=') + 1));
    }
    QVERIFY2(!windowClass.isEmpty(), "the entry names the class of the tool's windows");

    // Docks and task bars put the tool's window under the menu entry by this class.
    const ProgramRun search =
        RunProgram(QStringLiteral("xdotool"),
                   {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--pid"),
                    QString::number(m_tool.processId()), QStringLiteral("--class"),
                    QStringLiteral("^%1$").arg(QRegularExpression::escape(windowClass))},
                   kToolLimit);
    QVERIFY2(search.succeeded(), qPrintable(search.describe(QStringLiteral("xdotool search"))));
    QVERIFY2(search.output.split(QLatin1Char('\n')).contains(QString::number(m_window)),
             qPrintable(search.output));
}

void TestInstalledTool::connectTurnsTheLampGreen() {
    QVERIFY(m_window != 0);
    const ProgramRun click = RunProgram(
        QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("--window"),
         QString::number(m_window), QString::number(kConnectButtonCentre.x()),
         QString::number(kConnectButtonCentre.y()), QStringLiteral("click"), QStringLiteral("1")},
        kToolLimit);
    QVERIFY2(click.succeeded(), qPrintable(click.describe(QStringLiteral("xdotool click"))));

    QTRY_COMPARE_WITH_TIMEOUT(ColourText(lampColour()), ColourText(kGreen),
                              Milliseconds(kConnectLimit));
    QCOMPARE(m_tool.state(), QProcess::Running);
}

void TestInstalledTool::moduleSawTheConnectExchange_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("ping") << "<PING>";
    QTest::newRow("firmware version") << "<VERS>";
    QTest::newRow("settings query") << "<QUERY>";
}

void TestInstalledTool::moduleSawTheConnectExchange() {
    QFETCH(QString, command);
    QVERIFY2(countInTrace(command) > 0, qPrintable(moduleTrace()));
}

void TestInstalledTool::connectedToolKeepsPinging() {
    const int pingsSoFar = countInTrace(QStringLiteral("<PING>"));
    QTRY_VERIFY2_WITH_TIMEOUT(countInTrace(QStringLiteral("<PING>")) > pingsSoFar,
                              qPrintable(moduleTrace()), Milliseconds(kConnectLimit));
    QCOMPARE(ColourText(lampColour()), ColourText(kGreen));
}

QColor TestInstalledTool::lampColour() const {
    const QImage window = QGuiApplication::primaryScreen()->grabWindow(m_window).toImage();
    if (!window.rect().contains(kLampCentre))
        return {};
    return window.pixelColor(kLampCentre);
}

QString TestInstalledTool::moduleTrace() {
    m_trace += QString::fromLocal8Bit(m_module.readAll());
    return m_trace;
}

int TestInstalledTool::countInTrace(const QString& command) {
    return static_cast<int>(moduleTrace().count(command));
}

QTEST_MAIN(TestInstalledTool)
#include "tst_installed_tool.moc"
