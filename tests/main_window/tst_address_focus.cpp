// When the address check runs: on a move of the focus to another control only, never
// for a deactivated window or a message box taking the focus; and the real box it shows.
#include "window_fixture.h"

#include "platform/qt_message_box.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {

// Shows the real QMessageBox and, from inside its modal loop, records what it shows
// and closes it as the user would.
class ClosingMessageBox : public platform::MessageBox {
public:
    struct Seen {
        QString title;
        QMessageBox::Icon icon;
        QString text;
        Qt::TextFormat format;
        QMessageBox::StandardButtons buttons;
    };

    void setParentWidget(QWidget* parent) { m_real.setParentWidget(parent); }

    void show(platform::MessageIcon icon, const QString& text) override {
        QTimer::singleShot(0, [this] { closeBox(); });
        m_real.show(icon, text);
    }

    QList<Seen> seen;

private:
    void closeBox() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(0, [this] { closeBox(); });
            return;
        }
        seen.append({box->windowTitle(), box->icon(), box->text(), box->textFormat(),
                     box->standardButtons()});
        box->button(QMessageBox::Ok)->click();
    }

    platform::QtMessageBox m_real;
};

// Another window of the program, to take the activation away from frmMain.
struct OtherWindow {
    QWidget window;
    QLineEdit* field = new QLineEdit(&window);

    bool activate() {
        window.show();
        window.activateWindow();
        field->setFocus();
        return QTest::qWaitForWindowActive(&window);
    }
};

} // namespace

class AddressFocusTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_under.reset(); }

    void deactivatingTheWindowRunsNoCheck();
    void messageBoxTakingTheFocusDoesNotRepeatTheCheck();
    void disabledWindowRunsNoCheck();
    void realMessageBoxShowsTitleIconAndText();

private:
    std::unique_ptr<WindowUnderTest> m_under;
    frmMain* w = nullptr;
};

void AddressFocusTest::init() {
    m_under = ShowWindow();
    QVERIFY2(m_under, "the window did not become active");
    w = &m_under->window;
    w->ShowMasterRole();
    w->txtAddr->setText(QStringLiteral("BAD"));
    w->txtAddr->setFocus();
}

void AddressFocusTest::deactivatingTheWindowRunsNoCheck() {
    OtherWindow other;
    QVERIFY(other.activate());
    QCoreApplication::processEvents();
    QVERIFY(m_under->test.messages.shown().isEmpty());
    QCOMPARE(w->txtAddr->text(), QStringLiteral("BAD"));

    // Coming back puts the focus into txtAddr again, which is no loss of focus either.
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    QCOMPARE(QApplication::focusWidget(), w->txtAddr);
    QCoreApplication::processEvents();
    QVERIFY(m_under->test.messages.shown().isEmpty());

    w->cboBaud->setFocus();
    QCoreApplication::processEvents();
    QCOMPARE(m_under->test.messages.texts(), QStringList{"Invalid address format!"});
    QCOMPARE(w->txtAddr->text(), QStringLiteral("bad"));
}

void AddressFocusTest::messageBoxTakingTheFocusDoesNotRepeatTheCheck() {
    OtherWindow box;
    m_under->test.messages.setWhileOpen([&](const doubles::ShownMessage&) {
        QVERIFY(box.activate());
        box.window.hide();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
    });

    w->txtName->setFocus();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();

    QCOMPARE(m_under->test.messages.shown().size(), 1);
    QCOMPARE(QApplication::focusWidget(), w->txtName);
}

void AddressFocusTest::disabledWindowRunsNoCheck() {
    // The busy state disables the whole window, which takes the focus out of it.
    w->setEnabled(false);
    QCoreApplication::processEvents();
    w->setEnabled(true);
    QCoreApplication::processEvents();
    QVERIFY(m_under->test.messages.shown().isEmpty());
}

void AddressFocusTest::realMessageBoxShowsTitleIconAndText() {
    ClosingMessageBox messages;
    doubles::TestPlatform& test = m_under->test;
    platform::Platform realBoxes{test.port, test.settings, messages, test.pacing};
    frmMain window(realBoxes);
    messages.setParentWidget(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.ShowMasterRole();
    window.txtAddr->setText(QStringLiteral("0000-00-00-0000"));
    window.txtAddr->setFocus();

    window.chkMaster->setFocus();
    QTRY_COMPARE(messages.seen.size(), 1);

    const ClosingMessageBox::Seen& seen = messages.seen.first();
    QCOMPARE(seen.title, QStringLiteral("Cordelo Setup"));
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QCOMPARE(seen.text, QStringLiteral("Invalid address format!"));
    QCOMPARE(seen.format, Qt::PlainText);
    QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    // The focus stays with the control the user chose, also once the window is active
    // again, and the check does not come again.
    QCOMPARE(window.focusWidget(), window.chkMaster);
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(QApplication::focusWidget(), window.chkMaster);
    QCoreApplication::processEvents();
    QCOMPARE(messages.seen.size(), 1);
    QCOMPARE(window.txtAddr->text(), QStringLiteral("0000-00-00-0000"));
}

int RunAddressFocusTests(int argc, char** argv) {
    AddressFocusTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_address_focus.moc"
