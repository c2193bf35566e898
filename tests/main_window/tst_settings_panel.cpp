// The device settings panel: the role display both ways, the PIN request, the address
// key filter and format check, and plain text in every label.
#include "window_fixture.h"

#include "address_rules.h"

#include <QApplication>
#include <QComboBox>
#include <QCheckBox>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLabel>
#include <QSignalSpy>

using platform::MessageIcon;

class SettingsPanelTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_under.reset(); }

    void userClickShowsTheRole_data();
    void userClickShowsTheRole();
    void queryStyleRoleChangeRunsTheHandlerOnce_data();
    void queryStyleRoleChangeRunsTheHandlerOnce();
    void programChangeOfTheRoleRunsTheRoleDisplay();
    void pinRequestRuleFollowsTheValue();
    void settingTheSamePinValueReportsNothing();
    void keyFilterTakesExactlyTheAddressCharacters();
    void typedTextIsFiltered_data();
    void typedTextIsFiltered();
    void editingKeysKeepWorking();
    void pasteIsNotFiltered();
    void inputMethodTextIsFiltered();
    void leavingTheBoxChecksTheAddress_data();
    void leavingTheBoxChecksTheAddress();
    void staticAndHiddenControlsStayAsCreated();
    void labelsShowMarkupAsCharacters_data();
    void labelsShowMarkupAsCharacters();

private:
    // Moves the focus from txtAddr to txtName and lets the queued check run.
    void leaveAddressBox();

    std::unique_ptr<WindowUnderTest> m_under;
    frmMain* w = nullptr;
};

void SettingsPanelTest::init() {
    m_under = ShowWindow();
    QVERIFY2(m_under, "the window did not become active");
    w = &m_under->window;
}

void SettingsPanelTest::leaveAddressBox() {
    w->txtAddr->setFocus();
    QCOMPARE(QApplication::focusWidget(), w->txtAddr);
    w->txtName->setFocus();
    QCoreApplication::processEvents();
}

void SettingsPanelTest::userClickShowsTheRole_data() {
    QTest::addColumn<bool>("startAsMaster");
    QTest::newRow("slave to master") << false;
    QTest::newRow("master to slave") << true;
}

void SettingsPanelTest::userClickShowsTheRole() {
    QFETCH(bool, startAsMaster);
    if (startAsMaster)
        w->ShowMasterRole();
    w->txtAddr->setText(QStringLiteral("1234 56 78 9abc"));
    w->chkDiscoverable->setChecked(true);
    QSignalSpy handlerRuns(w->chkMaster, &QAbstractButton::toggled);

    QTest::mouseClick(w->chkMaster, Qt::LeftButton);

    const bool master = !startAsMaster;
    QCOMPARE(handlerRuns.count(), 1);
    QCOMPARE(w->chkMaster->isChecked(), master);
    QCOMPARE(w->txtAddr->isEnabled(), master);
    QCOMPARE(w->chkDiscoverable->isEnabled(), !master);
    QCOMPARE(w->txtAddr->text(), QStringLiteral("1234 56 78 9abc"));
    QVERIFY(w->chkDiscoverable->isChecked());
}

void SettingsPanelTest::queryStyleRoleChangeRunsTheHandlerOnce_data() {
    QTest::addColumn<bool>("shownAsMaster");
    QTest::addColumn<bool>("reportedMaster");
    QTest::addColumn<int>("handlerRuns");
    QTest::newRow("master while slave shown") << false << true << 1;
    QTest::newRow("slave while master shown") << true << false << 1;
    QTest::newRow("master while master shown") << true << true << 0;
    QTest::newRow("slave while slave shown") << false << false << 0;
}

void SettingsPanelTest::queryStyleRoleChangeRunsTheHandlerOnce() {
    QFETCH(bool, shownAsMaster);
    QFETCH(bool, reportedMaster);
    QFETCH(int, handlerRuns);
    if (shownAsMaster)
        w->ShowMasterRole();
    // The handler must see the new value while it runs nested inside the change.
    QList<bool> seenByHandler;
    connect(w->chkMaster, &QAbstractButton::toggled, w,
            [&] { seenByHandler << w->chkMaster->isChecked(); });

    if (reportedMaster)
        w->ShowMasterRole();
    else
        w->ShowSlaveRole();

    QCOMPARE(seenByHandler.size(), handlerRuns);
    for (const bool seen : seenByHandler)
        QCOMPARE(seen, reportedMaster);
    QCOMPARE(w->chkMaster->isChecked(), reportedMaster);
    QCOMPARE(w->txtAddr->isEnabled(), reportedMaster);
    QCOMPARE(w->chkDiscoverable->isEnabled(), !reportedMaster);
    QCOMPARE(w->txtAddr->text(), QStringLiteral("0000 00 00 0000"));
}

void SettingsPanelTest::programChangeOfTheRoleRunsTheRoleDisplay() {
    // A value set by the program reports a click just as the user's click does.
    w->chkMaster->setChecked(true);
    QVERIFY(w->txtAddr->isEnabled());
    QVERIFY(!w->chkDiscoverable->isEnabled());

    w->chkMaster->setChecked(false);
    QVERIFY(!w->txtAddr->isEnabled());
    QVERIFY(w->chkDiscoverable->isEnabled());
}

void SettingsPanelTest::pinRequestRuleFollowsTheValue() {
    w->txtPin->setText(QStringLiteral("1234"));
    w->chkPIN->setChecked(false);
    QVERIFY(!w->txtPin->isEnabled());
    QCOMPARE(w->txtPin->text(), QStringLiteral("1234"));

    w->chkPIN->setChecked(true);
    QVERIFY(w->txtPin->isEnabled());
    QVERIFY(w->chkPIN->isHidden());
}

void SettingsPanelTest::settingTheSamePinValueReportsNothing() {
    // Only a change of value is reported: setting the value it holds runs no rule.
    w->txtPin->setEnabled(false);
    w->chkPIN->setChecked(true);
    QVERIFY(!w->txtPin->isEnabled());
}

void SettingsPanelTest::keyFilterTakesExactlyTheAddressCharacters() {
    QString taken;
    for (int code = 0; code <= 0x2FF; ++code) {
        if (main_window::IsAddressKey(code))
            taken += QChar(code);
    }
    QCOMPARE(taken, QStringLiteral("\b 0123456789ABCDEFabcdef"));
}

void SettingsPanelTest::typedTextIsFiltered_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("an address in capitals") << "ABCD EF 01 2345"
                                            << "ABCD EF 01 2345";
    QTest::newRow("g") << "g"
                       << "";
    QTest::newRow("hyphen and colon") << "12-34:56"
                                      << "123456";
    QTest::newRow("blanks anywhere") << " a  b "
                                     << " a  b ";
    QTest::newRow("letters past f") << "GgXxZz!@#"
                                    << "";
    QTest::newRow("both cases kept while typing") << "aBcDeF"
                                                  << "aBcDeF";
}

void SettingsPanelTest::typedTextIsFiltered() {
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    w->ShowMasterRole();
    w->txtAddr->setText(QString());
    w->txtAddr->setFocus();

    QTest::keyClicks(w->txtAddr, typed);
    QCOMPARE(w->txtAddr->text(), shown);
    QVERIFY(m_under->test.messages.shown().isEmpty());

    // Characters outside the keyboard's plain ASCII are dropped as well.
    for (const QString& other : {QStringLiteral("\u00e9"), QStringLiteral("\uff11")}) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, other);
        QApplication::sendEvent(w->txtAddr, &press);
    }
    QCOMPARE(w->txtAddr->text(), shown);
}

void SettingsPanelTest::editingKeysKeepWorking() {
    w->ShowMasterRole();
    w->txtAddr->setText(QStringLiteral("0000 00 00 0000"));
    w->txtAddr->setFocus();
    w->txtAddr->setCursorPosition(6);

    QTest::keyClick(w->txtAddr, Qt::Key_Backspace);
    QCOMPARE(w->txtAddr->text(), QStringLiteral("0000 0 00 0000"));
    QTest::keyClick(w->txtAddr, Qt::Key_Home);
    // Some platforms give Delete the text of the DEL character; it still deletes.
    QKeyEvent deletePress(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
    QApplication::sendEvent(w->txtAddr, &deletePress);
    QCOMPARE(w->txtAddr->text(), QStringLiteral("000 0 00 0000"));
    QTest::keyClick(w->txtAddr, Qt::Key_End);
    QTest::keyClick(w->txtAddr, Qt::Key_Left);
    QTest::keyClick(w->txtAddr, Qt::Key_Space);
    QCOMPARE(w->txtAddr->text(), QStringLiteral("000 0 00 000 0"));
    QTest::keyClick(w->txtAddr, Qt::Key_Right);
    QTest::keyClick(w->txtAddr, Qt::Key_Backspace);
    QCOMPARE(w->txtAddr->text(), QStringLiteral("000 0 00 000 "));

    QTest::keyClick(w->txtAddr, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w->cboBaud);
}

void SettingsPanelTest::pasteIsNotFiltered() {
    w->ShowMasterRole();
    w->txtAddr->setText(QString());
    w->txtAddr->setFocus();
    QApplication::clipboard()->setText(QStringLiteral("zz:zz"));
    if (QApplication::clipboard()->text() != QStringLiteral("zz:zz"))
        QSKIP("the clipboard does not work on this platform");

    QTest::keyClick(w->txtAddr, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w->txtAddr->text(), QStringLiteral("zz:zz"));
    QTest::keyClick(w->txtAddr, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(w->txtAddr->text(), QStringLiteral("zz:zzzz:zz"));
}

void SettingsPanelTest::inputMethodTextIsFiltered() {
    w->ShowMasterRole();
    w->txtAddr->setText(QString());
    w->txtAddr->setFocus();
    for (const QString& committed :
         {QStringLiteral("g"), QStringLiteral("ab"), QStringLiteral("c-"), QStringLiteral("1")}) {
        QInputMethodEvent commit;
        commit.setCommitString(committed);
        QApplication::sendEvent(w->txtAddr, &commit);
    }
    QCOMPARE(w->txtAddr->text(), QStringLiteral("ab1"));
}

void SettingsPanelTest::leavingTheBoxChecksTheAddress_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("invalid");
    QTest::newRow("capitals are lowered") << "ABCD EF 01 2345"
                                          << "abcd ef 01 2345" << false;
    QTest::newRow("placeholder") << "0000 00 00 0000"
                                 << "0000 00 00 0000" << false;
    QTest::newRow("empty") << ""
                           << "" << true;
    QTest::newRow("14 characters") << "0000 00 00 000"
                                   << "0000 00 00 000" << true;
    QTest::newRow("16 characters") << "0000 00 00 00000"
                                   << "0000 00 00 00000" << true;
    QTest::newRow("blank missing at 5") << "0000x00 00 0000"
                                        << "0000x00 00 0000" << true;
    QTest::newRow("blank missing at 8") << "0000 000 0 0000"
                                        << "0000 000 0 0000" << true;
    QTest::newRow("blank missing at 11") << "0000 00 0000000"
                                         << "0000 00 0000000" << true;
    QTest::newRow("further blank at 14") << "0000 00 00 00 0"
                                         << "0000 00 00 00 0" << false;
    QTest::newRow("15 blanks") << QString(15, ' ') << QString(15, ' ') << false;
    QTest::newRow("pasted text without the blanks") << "WXYZ:-: ::: Z:Z"
                                                    << "wxyz:-: ::: z:z" << true;
    QTest::newRow("pasted non-hex in the layout") << "WXYZ GH IJ KLMN"
                                                  << "wxyz gh ij klmn" << false;
    QTest::newRow("invalid text is lowered too") << "ABCDEF"
                                                 << "abcdef" << true;
}

void SettingsPanelTest::leavingTheBoxChecksTheAddress() {
    QFETCH(QString, text);
    QFETCH(QString, after);
    QFETCH(bool, invalid);
    w->ShowMasterRole();
    w->txtAddr->setText(text);

    leaveAddressBox();

    QCOMPARE(w->txtAddr->text(), after);
    const QList<doubles::ShownMessage>& shown = m_under->test.messages.shown();
    QCOMPARE(shown.size(), invalid ? 1 : 0);
    if (invalid) {
        QCOMPARE(shown.first().text, QStringLiteral("Invalid address format!"));
        QCOMPARE(shown.first().icon, MessageIcon::Critical);
    }
    // The focus stays where the user sent it.
    QCOMPARE(QApplication::focusWidget(), w->txtName);
}

void SettingsPanelTest::staticAndHiddenControlsStayAsCreated() {
    const QStringList staticNames = {"Frame1",     "Frame2",      "Frame3",     "Label1", "Label2",
                                     "Label4",     "Label5",      "Label6",     "Label7", "Label8",
                                     "Label9",     "Label10",     "lblCTA",     "lblFMT", "Line8",
                                     "lblBattery", "Line7",       "Line3",      "Line2",  "Line1",
                                     "shpBattLow", "shpBattFull", "shpBattMed", "Line4"};
    const QStringList hiddenNames = {"chkPIN", "lblBattery", "Line7",       "Line3",      "Line2",
                                     "Line1",  "shpBattLow", "shpBattFull", "shpBattMed", "Line4"};
    const auto snapshot = [&] {
        QStringList states;
        for (const QString& name : staticNames) {
            const auto* control = w->findChild<QWidget*>(name);
            QString text;
            if (const auto* label = qobject_cast<const QLabel*>(control))
                text = label->text();
            states << QStringLiteral("%1 %2 %3 %4 %5")
                          .arg(name)
                          .arg(control->isEnabled())
                          .arg(control->isHidden())
                          .arg(QVariant(control->geometry()).toString(), text);
        }
        return states;
    };
    const QStringList before = snapshot();

    w->ShowMasterRole();
    w->txtAddr->setText(QStringLiteral("bad"));
    leaveAddressBox();
    QTest::mouseClick(w->chkMaster, Qt::LeftButton);
    QTest::mouseClick(w->chkMaster, Qt::LeftButton);
    w->ShowSlaveRole();
    w->chkPIN->setChecked(false);
    w->chkPIN->setChecked(true);

    QCOMPARE(snapshot(), before);
    for (const QString& name : hiddenNames) {
        const auto* control = w->findChild<QWidget*>(name);
        QVERIFY2(control->isHidden() && !control->isVisible(), qPrintable(name));
    }
}

void SettingsPanelTest::labelsShowMarkupAsCharacters_data() {
    QTest::addColumn<QString>("markup");
    QTest::newRow("image") << "<img src=x>";
    QTest::newRow("bold") << "<b>bold</b>";
}

void SettingsPanelTest::labelsShowMarkupAsCharacters() {
    QFETCH(QString, markup);
    const QList<QLabel*> labels = w->findChildren<QLabel*>();
    QCOMPARE(labels.size(), 14);
    for (QLabel* label : labels) {
        label->setText(markup);
        // Rich text would draw a picture or the word alone, narrower than the characters.
        QVERIFY2(label->sizeHint().width() >= label->fontMetrics().horizontalAdvance(markup),
                 qPrintable(label->objectName()));
    }
}

int RunSettingsPanelTests(int argc, char** argv) {
    SettingsPanelTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings_panel.moc"
