// Saving the window's settings to a profile file and loading them back: when the actions
// take input, what a loaded file does to the fields, and how a refusal is reported.
#include "window_fixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

using namespace std::chrono_literals;

class SettingsFileTest : public QObject {
    Q_OBJECT

private slots:
    // Windows' own file dialogs are no Qt widgets a test can find and answer; Qt's are.
    void initTestCase() { QApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }
    void init() {
        m_under = ShowWindow();
        QVERIFY2(m_under, "the window did not become active");
        w = &m_under->window;
        w->Form_Load();
    }
    void cleanup() { m_under.reset(); }

    void actionsTakeInputOnlyWhileConnectedAndIdle() {
        QCOMPARE(w->contextMenuPolicy(), Qt::ActionsContextMenu);
        QCOMPARE(w->actions(), (QList{w->saveSettingsAction(), w->loadSettingsAction()}));
        QVERIFY(!w->saveSettingsAction()->isEnabled());
        connect();
        QVERIFY(w->saveSettingsAction()->isEnabled() && w->loadSettingsAction()->isEnabled());
        w->BeginBusy();
        QVERIFY(!w->saveSettingsAction()->isEnabled() && !w->loadSettingsAction()->isEnabled());
        w->EndBusy();
        w->ShowConnected(false);
        QVERIFY(!w->saveSettingsAction()->isEnabled() && !w->loadSettingsAction()->isEnabled());
    }

    void savedFileLoadsBackWithoutSendingAnything() {
        connect();
        w->txtName->setText(QStringLiteral(" \"a;b\" = #1 "));
        const QString path = m_dir.filePath(QStringLiteral("unit.ini"));
        QTimer::singleShot(0, this, [path] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Save settings to file"));
            dialog->selectFile(path);
            static_cast<QDialog*>(dialog)->accept();
        });
        QTest::keyClick(w, Qt::Key_S, Qt::ControlModifier);
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().endsWith("[Device]\naddress=0012 6f 3a 9b01\nfirmware=v2.0\n"));

        w->txtName->clear();
        w->ShowSlaveRole();
        w->cboBaud->setCurrentIndex(0);
        const qsizetype sent = m_under->test.port.written().size();
        QVERIFY(w->LoadSettingsFromFile(path));
        QCOMPARE(w->txtName->text(), QStringLiteral(" \"a;b\" = #1 "));
        QVERIFY(w->chkMaster->isChecked() && w->txtAddr->isEnabled());
        QVERIFY(!w->chkDiscoverable->isEnabled());
        QCOMPARE(w->cboBaud->currentText(), QStringLiteral("9600"));
        QCOMPARE(m_under->test.port.written().size(), sent);
        QVERIFY(m_under->test.messages.shown().isEmpty());
    }

    void refusedFileIsReportedAndChangesNothing_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        QTest::newRow("bad value")
            << QByteArray("[Module]\nname=x\nbaud=300\n") << "line 3: baud: must be one of 1200,";
        QTest::newRow("too large") << QByteArray(100000, ';') << "It is too large";
        // The system's own words for a missing file differ; the path and the line break do not.
        QTest::newRow("missing") << QByteArray() << QString();
    }
    void refusedFileIsReportedAndChangesNothing() {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        connect();
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        QFile file(path);
        QVERIFY(content.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(content)));
        file.close();
        QVERIFY(!w->LoadSettingsFromFile(path));
        QCOMPARE(w->txtName->text(), QStringLiteral("Cordelo-BT"));
        QCOMPARE(m_under->test.messages.shown().size(), 1);
        QCOMPARE(m_under->test.messages.shown()[0].icon, platform::MessageIcon::Critical);
        const QString text = m_under->test.messages.shown()[0].text;
        QVERIFY2(text.startsWith("Cannot load the file " + QDir::toNativeSeparators(path) + '\n' +
                                 reason),
                 qPrintable(text));
    }

    void saveRefusesWhatAProfileCannotHold() {
        connect();
        w->txtAddr->setText(QStringLiteral("0000 000 0 0000"));
        QVERIFY(!w->SaveSettingsToFile(m_dir.filePath(QStringLiteral("a.ini"))));
        w->ShowSlaveRole();
        QVERIFY(!w->SaveSettingsToFile(m_dir.filePath(QStringLiteral("none/b.ini"))));
        const QStringList texts = m_under->test.messages.texts();
        QCOMPARE(texts.size(), 2);
        QVERIFY(texts[0].startsWith("The settings were not saved.\naddress: must be four"));
        QVERIFY(texts[1].startsWith("Cannot write the file " +
                                    QDir::toNativeSeparators(m_dir.filePath("none/b.ini"))));
    }

private:
    void connect() {
        auto& port = m_under->test.port;
        port.setOnWrite([&port](const QByteArray& text) {
            port.feed(text == "<PING>"    ? "[READY]"
                      : text == "<VERS>"  ? "[v2.0]"
                      : text == "<QUERY>" ? "[Cordelo-BT][1234][9600][1][N][MASTER][abcd ef 01 "
                                            "2345][0012 6f 3a 9b01][0][][][v2.0]"
                                          : "[OK]",
                      10ms);
        });
        w->cmdConnect->click();
        QVERIFY(w->cmdWrite->isEnabled());
    }

    QTemporaryDir m_dir;
    std::unique_ptr<WindowUnderTest> m_under;
    frmMain* w = nullptr;
};

int RunSettingsFileTests(int argc, char** argv) {
    SettingsFileTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings_file.moc"
