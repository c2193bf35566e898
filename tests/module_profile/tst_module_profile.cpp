// The profile file: what it accepts, what it refuses and why, and values that must come
// back unchanged however awkward they are.
#include "module_profile/profile.h"

#include <QTest>

using profile::ModuleSettings;
using profile::Profile;
using profile::ProfileError;

namespace {

const QByteArray kExample = "[Module]\n"
                            "name=Cordelo-BT\n"
                            "pin=1234\n"
                            "pin_request=on            ; on | off\n"
                            "baud=9600                 ; 1200 2400 4800 9600 19200\n"
                            "stop_bits=1               ; 1 | 2\n"
                            "parity=N                  ; N | O | E\n"
                            "role=slave                ; slave | master\n"
                            "address=0000 00 00 0000   ; the device a master connects to\n"
                            "discoverable=yes          ; yes | no\n"
                            "\n"
                            "[Device]\n"
                            "address=0012 6f 3a 9b01\n"
                            "firmware=v2.0\n";

QString Describe(const std::variant<Profile, ProfileError>& parsed) {
    const auto* error = std::get_if<ProfileError>(&parsed);
    return error ? profile::DescribeProfileError(*error) : QString();
}

} // namespace

class ModuleProfileTest : public QObject {
    Q_OBJECT

private slots:
    void readsValues_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("present");
        QTest::addColumn<QString>("value");
        const QByteArray m = "[Module]\n";
        QTest::newRow("example, comment cut") << kExample << "baud" << true << "9600";
        QTest::newRow("example, address") << kExample << "address" << true << "0000 00 00 0000";
        QTest::newRow("missing key is absent") << m << "role" << false << "";
        QTest::newRow("parity word") << m + "parity=Even"
                                     << "parity" << true << "E";
        QTest::newRow("address lower-cased") << m + "address=ABCD EF 01 2345"
                                             << "address" << true << "abcd ef 01 2345";
        QTest::newRow("blanks around key and value") << m + "  role =  master  \r\n"
                                                     << "role" << true << "master";
        QTest::newRow("plain keeps # = , quotes") << m + "name=#a=b,\"c\"\\"
                                                  << "name" << true << "#a=b,\"c\"\\";
        QTest::newRow("quoted with comment") << m + "name=\" a;b \" ; note"
                                             << "name" << true << " a;b ";
        QTest::newRow("escapes") << m + "pin=\"\\\\\\\"\\t\\x01\""
                                 << "pin" << true << "\\\"\t\x01";
        QTest::newRow("UTF-8 and a BOM") << "\xEF\xBB\xBF" + m + "name=Gr\xC3\xBC\xC3\x9F"
                                         << "name" << true << "Grüß";
        QTest::newRow("empty value") << m + "name="
                                     << "name" << true << "";
    }
    void readsValues() {
        QFETCH(QByteArray, text);
        QFETCH(QString, key);
        QFETCH(bool, present);
        QFETCH(QString, value);
        const auto parsed = profile::ParseProfile(text);
        QVERIFY2(std::holds_alternative<Profile>(parsed), qPrintable(Describe(parsed)));
        const std::optional<QString> read = ModuleKeyText(std::get<Profile>(parsed).module, key);
        QCOMPARE(read.has_value(), present);
        QCOMPARE(read.value_or(QString()), value);
    }

    void refusesNamingKeyLineAndRule_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("description");
        const QByteArray m = "[Module]\n";
        const auto row = [](const char* name, const QByteArray& text, const char* description) {
            QTest::newRow(name) << text << QString::fromUtf8(description);
        };
        row("unknown key", m + "nmae=x", "line 2: nmae: unknown key");
        row("unknown section", "[Modul]\nname=x", "line 1: [Modul]: unknown section");
        row("key outside a section", "name=x", "line 1: name: keys belong under");
        row("no equals sign", m + "\nname x", "line 3: expected key=value");
        row("name too long", m + "name=123456789012345", "line 2: name: at most 14 characters");
        row("pin too long", m + "pin=\"12345678 \"", "line 2: pin: at most 8 characters");
        row("beyond Latin-1", m + "name=\xE2\x82\xAC", "line 2: name: only Latin-1");
        row("baud", m + "baud=300", "line 2: baud: must be one of 1200, 2400, 4800, 9600,");
        row("stop bits", m + "stop_bits=1.5", "line 2: stop_bits: must be one of 1, 2");
        row("parity", m + "parity=n", "line 2: parity: must be one of N, O, E, None, Odd, Even");
        row("role", m + "role=Master", "line 2: role: must be master or slave");
        row("switch", m + "pin_request=yes", "line 2: pin_request: must be on or off");
        row("address letter", m + "address=12g4 56 78 9abc", "line 2: address: must be four");
        row("address blanks", m + "address=0000 000 0 0000", "line 2: address: must be four");
        row("address short", m + "address=0000 00 00 000", "line 2: address: must be four");
        row("twice", m + "pin=1\n\npin=2", "line 4: pin: given twice (first on line 2)");
        row("device key", "[Device]\nfirmwre=v2.0", "line 2: firmwre: unknown key");
        row("open quote", m + "name=\"abc", "line 2: name: the closing quote is missing");
        row("after quote", m + "name=\"a\"b", "line 2: name: nothing but a comment");
        row("bad escape", m + "name=\"\\q\"", "line 2: name: unknown escape \\q");
        row("short \\x", m + "name=\"\\x4\"", "line 2: name: \\x must be followed");
        row("not UTF-8", m + "name=\xFF", "line 2: not UTF-8 text");
    }
    void refusesNamingKeyLineAndRule() {
        QFETCH(QByteArray, text);
        QFETCH(QString, description);
        const auto parsed = profile::ParseProfile(text);
        const QString described = Describe(parsed);
        QVERIFY2(described.startsWith(description), qPrintable(described));
    }

    // Each value is written as the file line given, and read back unchanged.
    void awkwardValuesRoundTrip_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("plain") << "Cordelo-BT" << QByteArray("name=Cordelo-BT");
        QTest::newRow("signs stay plain") << "#a=b,c'\"\\" << QByteArray("name=#a=b,c'\"\\");
        QTest::newRow("Latin-1 stays plain") << "Grüße ÿ"
                                             << QByteArray("name=Gr\xC3\xBC\xC3\x9F"
                                                           "e \xC3\xBF");
        QTest::newRow("empty") << "" << QByteArray("name=");
        QTest::newRow("leading blank") << " a" << QByteArray("name=\" a\"");
        QTest::newRow("trailing tab") << "a\t" << QByteArray("name=\"a\\t\"");
        QTest::newRow("only blanks") << "   " << QByteArray("name=\"   \"");
        QTest::newRow("semicolon") << "a;b" << QByteArray("name=\"a;b\"");
        QTest::newRow("leading quote") << "\"x\\\"" << QByteArray("name=\"\\\"x\\\\\\\"\"");
        QTest::newRow("line break") << "a\nb\r" << QByteArray("name=\"a\\nb\\r\"");
        QTest::newRow("other control")
            << QString(QChar(0)) + "\x7f" << QByteArray("name=\"\\x00\\x7f\"");
    }
    void awkwardValuesRoundTrip() {
        QFETCH(QString, name);
        QFETCH(QByteArray, line);
        Profile written;
        written.module.name = name;
        written.module.pin = name.left(8);
        written.device = {name, name};
        const QByteArray file = profile::FormatProfile(written);
        QVERIFY2(file.split('\n').contains(line), file.constData());
        const auto parsed = profile::ParseProfile(file);
        QVERIFY(std::holds_alternative<Profile>(parsed));
        QVERIFY(std::get<Profile>(parsed) == written);
    }

    void setTakesValueVerbatimAndRefusesWithoutLine() {
        ModuleSettings settings;
        QCOMPARE(profile::SetModuleKey(settings, "name", " a;\"b\" "), std::nullopt);
        QCOMPARE(settings.name, " a;\"b\" ");
        QCOMPARE(profile::SetModuleKey(settings, "parity", "Odd"), std::nullopt);
        QCOMPARE(settings.parity, "O");
        const std::optional<ProfileError> error = profile::SetModuleKey(settings, "baud", "96");
        QVERIFY(error.has_value());
        QVERIFY(profile::DescribeProfileError(*error).startsWith("baud: must be one of 1200"));
        QCOMPARE(settings.baud, std::nullopt);
    }

    void replyBecomesFullProfileThatWritesBack() {
        modProg::SettingsReply reply;
        reply.fields = {"BT 1", "0000",      "19200",   "2",   "E", "MASTER", "", "0012 6f 3a 9b01",
                        "x",    "INVISIBLE", "PIN_OFF", "v1.1"};
        const Profile read = profile::ProfileFromReply(reply);
        const auto parsed = profile::ParseProfile(profile::FormatProfile(read));
        QVERIFY(std::holds_alternative<Profile>(parsed));
        QVERIFY(std::get<Profile>(parsed) == read);
        QCOMPARE(read.module.address, modProg::kNoAddress);
        QCOMPARE(read.device.address, "0012 6f 3a 9b01");

        ModuleSettings overlay;
        overlay.name = "Other";
        overlay.master = false;
        const modProg::SettingsToWrite sent =
            profile::LayOver(profile::LayOver({}, read.module), overlay);
        const ModuleSettings sentSettings = profile::SettingsFromWrite(sent);
        QCOMPARE(sentSettings.name, "Other");
        QCOMPARE(sentSettings.parity, "E");
        QCOMPARE(sentSettings.pinRequest, false);
        QCOMPARE(sentSettings.discoverable, false);
        // In the slave role the write sends no address, so there is none to compare.
        QCOMPARE(sentSettings.address, std::nullopt);
    }
};

QTEST_GUILESS_MAIN(ModuleProfileTest)
#include "tst_module_profile.moc"
