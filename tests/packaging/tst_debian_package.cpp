// The Debian package as cpack builds it from this build folder: its control fields, the files
// it installs, and the desktop entry and metadata as the desktop's own validators see them.
#include "program_run.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <chrono>

using namespace std::chrono_literals;
using packaging_tests::HaveProgram;
using packaging_tests::ProgramRun;
using packaging_tests::RunProgram;

namespace {

// cpack installs into a staging folder and runs dpkg-shlibdeps: seconds, not minutes.
constexpr auto kPackagingLimit = 120s;
constexpr auto kToolLimit = 30s;

const QString kAppId = QStringLiteral("io.github.cordelo.CordeloSetup");
const QString kPackageName = QStringLiteral("cordelo-setup");
const QString kPackageVersion = QStringLiteral("2.0.0");
const QString kDesktopEntry = QStringLiteral("usr/share/applications/%1.desktop").arg(kAppId);
const QString kStationEntry =
    QStringLiteral("usr/share/applications/io.github.cordelo.CordeloStation.desktop");
const QString kMetainfo = QStringLiteral("usr/share/metainfo/%1.metainfo.xml").arg(kAppId);
const QList<int> kIconSizes{16, 24, 32, 48};
const QString kCopyright = QStringLiteral("usr/share/doc/cordelo-setup/copyright");

QString IconPath(int size) {
    return QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kAppId);
}

QString ScalableIconPath() {
    return QStringLiteral("usr/share/icons/hicolor/scalable/apps/%1.svg").arg(kAppId);
}

QStringList ExpectedFiles() {
    QStringList files{QStringLiteral("usr/bin/cordelo-setup"),
                      QStringLiteral("usr/bin/cordelo-cli"),
                      QStringLiteral("usr/bin/cordelo-station"),
                      QStringLiteral("usr/bin/cordelo-virtual-module"),
                      kDesktopEntry,
                      kStationEntry,
                      kMetainfo,
                      ScalableIconPath(),
                      kCopyright,
                      QStringLiteral("usr/share/doc/cordelo-setup/changelog.gz"),
                      QStringLiteral("usr/share/cordelo-setup/labels/default.label"),
                      QStringLiteral("usr/share/man/man1/cordelo-setup.1.gz"),
                      QStringLiteral("usr/share/man/man1/cordelo-cli.1.gz"),
                      QStringLiteral("usr/share/man/man1/cordelo-station.1.gz"),
                      QStringLiteral("usr/share/man/man1/cordelo-virtual-module.1.gz")};
    for (const int size : kIconSizes)
        files << IconPath(size);
    files.sort();
    return files;
}

// "Key: value" lines of a control file; continuation lines belong to the key before them.
QMap<QString, QString> ParseControl(const QString& text) {
    QMap<QString, QString> fields;
    QString key;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char(' ')) && !key.isEmpty()) {
            fields[key] += QLatin1Char('\n') + line.mid(1);
            continue;
        }
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            continue;
        key = line.left(colon);
        fields[key] = line.mid(colon + 1).trimmed();
    }
    return fields;
}

// The package names of a Depends field, without versions or alternatives' bars.
QStringList DependedPackages(const QString& depends) {
    QStringList names;
    static const QRegularExpression separator(QStringLiteral("[,|]"));
    for (const QString& entry : depends.split(separator, Qt::SkipEmptyParts))
        names << entry.trimmed().section(QLatin1Char(' '), 0, 0).section(QLatin1Char(':'), 0, 0);
    return names;
}

// The [Desktop Entry] group's keys; localised keys and other groups are not needed here.
QMap<QString, QString> ParseDesktopEntry(const QString& text) {
    QMap<QString, QString> keys;
    bool inMainGroup = false;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inMainGroup && equals > 0)
            keys[line.left(equals)] = line.mid(equals + 1);
    }
    return keys;
}

QString ReadText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace

class TestDebianPackage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void fileNameCarriesNameVersionAndArchitecture();
    void controlFieldsDescribeThePackage_data();
    void controlFieldsDescribeThePackage();
    void maintainerIsANameWithAnAddress();
    void descriptionHasASummaryAndAnExtendedText();
    void dependsListsTheLibrariesTheProgramsLink_data();
    void dependsListsTheLibrariesTheProgramsLink();

    void installsExactlyTheProgramsAndTheirDesktopFiles();
    void programsAreExecutable_data();
    void programsAreExecutable();
    void installedProgramsFindAllTheirLibraries_data();
    void installedProgramsFindAllTheirLibraries();
    void iconImagesHaveTheSizeOfTheirFolder_data();
    void iconImagesHaveTheSizeOfTheirFolder();
    void scalableIconIsAnSvgDocument();

    void desktopEntryPassesTheValidator_data();
    void desktopEntryPassesTheValidator();
    void desktopEntryStartsTheInstalledToolWithItsIcon_data();
    void desktopEntryStartsTheInstalledToolWithItsIcon();
    void metainfoPassesTheValidator();
    void metainfoNamesTheDesktopEntryAndThisRelease();

    void virtualModuleHelpExplainsEveryOption_data();
    void virtualModuleHelpExplainsEveryOption();

    void lintianFindsNoErrors();

private:
    QString installed(const QString& relativePath) const { return m_root.filePath(relativePath); }

    QTemporaryDir m_scratch;
    QString m_packageFile;
    QString m_package;
    QDir m_root;
    QMap<QString, QString> m_control;
    QString m_architecture;
};

void TestDebianPackage::initTestCase() {
    if (!HaveProgram(QStringLiteral("dpkg-deb")))
        QSKIP("dpkg-deb is missing: Debian packages are built and checked on Debian only.");
    for (const char* tool :
         {"dpkg-shlibdeps", "desktop-file-validate", "appstreamcli", "lintian"}) {
        QVERIFY2(HaveProgram(QString::fromLatin1(tool)),
                 qPrintable(QStringLiteral("%1 is missing; scripts/install-deps.sh installs it")
                                .arg(QString::fromLatin1(tool))));
    }
    QVERIFY(m_scratch.isValid());

    const QString output = m_scratch.filePath(QStringLiteral("out"));
    const ProgramRun cpack =
        RunProgram(QStringLiteral(CORDELO_CPACK_COMMAND),
                   {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                    QStringLiteral(CORDELO_CPACK_CONFIG), QStringLiteral("-B"), output},
                   kPackagingLimit);
    QVERIFY2(cpack.succeeded(), qPrintable(cpack.describe(QStringLiteral("cpack"))));

    const QStringList packages =
        QDir(output).entryList({QStringLiteral("*.deb")}, QDir::Files, QDir::Name);
    QCOMPARE(packages.size(), 1);
    m_packageFile = packages.constFirst();
    m_package = QDir(output).filePath(m_packageFile);
    const QString package = m_package;

    m_root.setPath(m_scratch.filePath(QStringLiteral("root")));
    const ProgramRun extract = RunProgram(
        QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), package, m_root.path()}, kToolLimit);
    QVERIFY2(extract.succeeded(), qPrintable(extract.describe(QStringLiteral("dpkg-deb -x"))));

    const ProgramRun control =
        RunProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), package}, kToolLimit);
    QVERIFY2(control.succeeded(), qPrintable(control.describe(QStringLiteral("dpkg-deb -f"))));
    m_control = ParseControl(control.output);

    const ProgramRun architecture =
        RunProgram(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")}, kToolLimit);
    QVERIFY2(architecture.succeeded(), qPrintable(architecture.describe(QStringLiteral("dpkg"))));
    m_architecture = architecture.output.trimmed();
}

void TestDebianPackage::fileNameCarriesNameVersionAndArchitecture() {
    QCOMPARE(m_packageFile,
             QStringLiteral("%1_%2_%3.deb").arg(kPackageName, kPackageVersion, m_architecture));
}

void TestDebianPackage::controlFieldsDescribeThePackage_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Package") << "Package" << kPackageName;
    QTest::newRow("Version") << "Version" << kPackageVersion;
    QTest::newRow("Architecture") << "Architecture" << m_architecture;
    QTest::newRow("Section") << "Section"
                             << "comm";
    QTest::newRow("Priority") << "Priority"
                              << "optional";
}

void TestDebianPackage::controlFieldsDescribeThePackage() {
    QFETCH(QString, field);
    QFETCH(QString, expected);
    QCOMPARE(m_control.value(field), expected);
}

void TestDebianPackage::maintainerIsANameWithAnAddress() {
    static const QRegularExpression nameWithAddress(
        QStringLiteral("^\\S.* <[^<>@\\s]+@[^<>\\s]+>$"));
    const QString maintainer = m_control.value(QStringLiteral("Maintainer"));
    QVERIFY2(nameWithAddress.match(maintainer).hasMatch(), qPrintable(maintainer));
}

void TestDebianPackage::descriptionHasASummaryAndAnExtendedText() {
    const QStringList lines = m_control.value(QStringLiteral("Description")).split('\n');
    QVERIFY2(lines.size() >= 3, "a one-line summary and an extended description");
    QVERIFY(!lines.constFirst().isEmpty());
    QVERIFY2(lines.constFirst().size() <= 80, qPrintable(lines.constFirst()));
    QVERIFY(lines.join(' ').contains(QLatin1String("cordelo-virtual-module")));
}

void TestDebianPackage::dependsListsTheLibrariesTheProgramsLink_data() {
    QTest::addColumn<QString>("library");
    for (const char* package :
         {"libc6", "libstdc++6", "libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6serialport6",
          "libqt6sql6", "libqt6sql6-sqlite"})
        QTest::newRow(package) << QString::fromLatin1(package);
}

void TestDebianPackage::dependsListsTheLibrariesTheProgramsLink() {
    QFETCH(QString, library);
    const QString depends = m_control.value(QStringLiteral("Depends"));
    QVERIFY2(DependedPackages(depends).contains(library), qPrintable(depends));
}

void TestDebianPackage::installsExactlyTheProgramsAndTheirDesktopFiles() {
    QStringList files;
    QDirIterator walk(m_root.path(), QDir::Files | QDir::System | QDir::Hidden,
                      QDirIterator::Subdirectories);
    while (walk.hasNext())
        files << m_root.relativeFilePath(walk.next());
    files.sort();
    QCOMPARE(files, ExpectedFiles());
}

void TestDebianPackage::programsAreExecutable_data() {
    QTest::addColumn<QString>("program");
    QTest::newRow("cordelo-setup") << "usr/bin/cordelo-setup";
    QTest::newRow("cordelo-cli") << "usr/bin/cordelo-cli";
    QTest::newRow("cordelo-station") << "usr/bin/cordelo-station";
    QTest::newRow("cordelo-virtual-module") << "usr/bin/cordelo-virtual-module";
}

void TestDebianPackage::programsAreExecutable() {
    QFETCH(QString, program);
    const QFileInfo file(installed(program));
    QVERIFY2(file.isFile(), qPrintable(program));
    QVERIFY(file.isExecutable());
    QVERIFY(file.permissions() & QFileDevice::ExeOther);
}

void TestDebianPackage::installedProgramsFindAllTheirLibraries_data() {
    programsAreExecutable_data();
}

void TestDebianPackage::installedProgramsFindAllTheirLibraries() {
    QFETCH(QString, program);
    const ProgramRun ldd = RunProgram(QStringLiteral("ldd"), {installed(program)}, kToolLimit);
    QVERIFY2(ldd.succeeded(), qPrintable(ldd.describe(QStringLiteral("ldd"))));
    QVERIFY2(!ldd.output.contains(QLatin1String("not found")), qPrintable(ldd.output));
    // A build folder baked in as a run path would hide a library missing from Depends.
    QVERIFY2(!ldd.output.contains(QStringLiteral(CORDELO_BUILD_DIR)), qPrintable(ldd.output));
}

void TestDebianPackage::iconImagesHaveTheSizeOfTheirFolder_data() {
    QTest::addColumn<int>("size");
    for (const int size : kIconSizes)
        QTest::newRow(qPrintable(QStringLiteral("%1x%1").arg(size))) << size;
}

void TestDebianPackage::iconImagesHaveTheSizeOfTheirFolder() {
    QFETCH(int, size);
    const QImage icon(installed(IconPath(size)));
    QVERIFY2(!icon.isNull(), qPrintable(IconPath(size)));
    QCOMPARE(icon.size(), QSize(size, size));
    QVERIFY(icon.hasAlphaChannel());
}

void TestDebianPackage::scalableIconIsAnSvgDocument() {
    QFile file(installed(ScalableIconPath()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QVERIFY(xml.readNextStartElement());
    QCOMPARE(xml.name(), QLatin1String("svg"));
}

void TestDebianPackage::desktopEntryPassesTheValidator_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("name");
    QTest::newRow("Cordelo Setup") << kDesktopEntry << QStringLiteral("Cordelo Setup");
    QTest::newRow("Cordelo Station") << kStationEntry << QStringLiteral("Cordelo Station");
}

void TestDebianPackage::desktopEntryPassesTheValidator() {
    QFETCH(QString, entry);
    const ProgramRun validator =
        RunProgram(QStringLiteral("desktop-file-validate"), {installed(entry)}, kToolLimit);
    QVERIFY2(validator.succeeded(), qPrintable(validator.describe("desktop-file-validate")));
    // It also exits 0 with mere warnings; those are faults to fix as well.
    QVERIFY2(validator.output.trimmed().isEmpty(), qPrintable(validator.output));
}

void TestDebianPackage::desktopEntryStartsTheInstalledToolWithItsIcon_data() {
    desktopEntryPassesTheValidator_data();
}

void TestDebianPackage::desktopEntryStartsTheInstalledToolWithItsIcon() {
    QFETCH(QString, entry);
    QFETCH(QString, name);
    const QMap<QString, QString> keys = ParseDesktopEntry(ReadText(installed(entry)));
    QCOMPARE(keys.value(QStringLiteral("Name")), name);
    QCOMPARE(keys.value(QStringLiteral("Terminal")), QStringLiteral("false"));
    QVERIFY(!keys.value(QStringLiteral("Comment")).isEmpty());

    const QString command = keys.value(QStringLiteral("Exec")).section(QLatin1Char(' '), 0, 0);
    QVERIFY2(!command.contains(QLatin1Char('/')), "found on the PATH wherever it is installed");
    QVERIFY2(QFileInfo(installed(QStringLiteral("usr/bin/") + command)).isExecutable(),
             qPrintable(command));

    // The menus find the icon by name in the theme folders, and the desktop matches the
    // running program's windows to this entry by its file name.
    QCOMPARE(keys.value(QStringLiteral("Icon")), kAppId);
    QVERIFY(QFileInfo::exists(installed(ScalableIconPath())));
}

void TestDebianPackage::metainfoPassesTheValidator() {
    const ProgramRun validator = RunProgram(
        QStringLiteral("appstreamcli"),
        {QStringLiteral("validate"), QStringLiteral("--no-net"), installed(kMetainfo)}, kToolLimit);
    QVERIFY2(validator.succeeded(), qPrintable(validator.describe("appstreamcli validate")));
}

void TestDebianPackage::metainfoNamesTheDesktopEntryAndThisRelease() {
    QFile file(installed(kMetainfo));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QString id;
    QString launchable;
    QStringList releases;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("id"))
            id = xml.readElementText();
        else if (xml.name() == QLatin1String("launchable"))
            launchable = xml.readElementText();
        else if (xml.name() == QLatin1String("release"))
            releases << xml.attributes().value(QLatin1String("version")).toString();
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(id, kAppId);
    QCOMPARE(launchable, QFileInfo(kDesktopEntry).fileName());
    QVERIFY2(!releases.isEmpty(), "releases list the packaged version");
    QCOMPARE(releases.constFirst(), kPackageVersion);
}

void TestDebianPackage::virtualModuleHelpExplainsEveryOption_data() {
    QTest::addColumn<QString>("option");
    // The options docs/virtual-module.md tells users about.
    for (const char* option :
         {"--com", "--count", "--address", "--fail-module", "--silent", "--ping-from", "--firmware",
          "--ack", "--no-reply-to", "--query-delay", "--cut-query", "--noise", "--silent-after",
          "--hang-up-after"})
        QTest::newRow(option) << QString::fromLatin1(option);
}

void TestDebianPackage::virtualModuleHelpExplainsEveryOption() {
    QFETCH(QString, option);
    const ProgramRun help = RunProgram(installed(QStringLiteral("usr/bin/cordelo-virtual-module")),
                                       {QStringLiteral("--help")}, kToolLimit);
    QVERIFY2(help.succeeded(), qPrintable(help.describe("cordelo-virtual-module --help")));

    // Each option line is the option, its value name, then its explanation.
    const QRegularExpression line(QStringLiteral("^\\s+(?:-\\w, )?%1(?: <[A-Z]+>)?\\s{2,}(\\S.*)$")
                                      .arg(QRegularExpression::escape(option)),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(help.output);
    QVERIFY2(match.hasMatch(), qPrintable(help.output));
    QVERIFY2(match.captured(1).size() >= 10, qPrintable(match.captured(0)));
}

void TestDebianPackage::lintianFindsNoErrors() {
    const ProgramRun lintian = RunProgram(
        QStringLiteral("lintian"),
        {QStringLiteral("--fail-on"), QStringLiteral("error"), m_package}, kPackagingLimit);
    QVERIFY2(lintian.succeeded(), qPrintable(lintian.describe(QStringLiteral("lintian"))));
}

QTEST_GUILESS_MAIN(TestDebianPackage)
#include "tst_debian_package.moc"
