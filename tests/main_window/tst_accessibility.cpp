// What a screen reader finds by walking the window's accessibility tree: a name for every
// control that takes input or shows a value, and the caption that labels each field.
#include "window_fixture.h"

#include <QAccessible>
#include <QLabel>

namespace {

// Every object the tree reaches from the window, with the name it announces.
void CollectNames(QAccessibleInterface* node, QHash<QObject*, QString>& names) {
    if (node == nullptr)
        return;
    names.insert(node->object(), node->text(QAccessible::Name));
    for (int i = 0; i < node->childCount(); ++i)
        CollectNames(node->child(i), names);
}

// The captions that label a control, as a screen reader finds them.
QStringList Labels(QAccessibleInterface* node) {
    QStringList labels;
    for (const auto& [label, relation] : node->relations(QAccessible::Label))
        labels << label->object()->objectName();
    return labels;
}

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_under.reset(); }

    void fieldsAreNamedByTheirCaptions_data();
    void fieldsAreNamedByTheirCaptions();
    void everyControlTakingInputHasAName();
    void lampSaysTheConnectionState();

private:
    std::unique_ptr<WindowUnderTest> m_under;
    frmMain* w = nullptr;
    QHash<QObject*, QString> m_names;
};

void AccessibilityTest::init() {
    m_under = ShowWindow();
    QVERIFY2(m_under, "the window did not become active");
    w = &m_under->window;
    w->Form_Load();
    m_names.clear();
    CollectNames(QAccessible::queryAccessibleInterface(w), m_names);
}

void AccessibilityTest::fieldsAreNamedByTheirCaptions_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::newRow("txtName") << "txtName"
                             << "Name"
                             << "Label1";
    QTest::newRow("txtPin") << "txtPin"
                            << "Pin code"
                            << "Label2";
    QTest::newRow("txtAddr") << "txtAddr"
                             << "Connect to address (hex)"
                             << "lblCTA";
    QTest::newRow("cboBaud") << "cboBaud"
                             << "Baud rate"
                             << "Label4";
    QTest::newRow("cboStopBit") << "cboStopBit"
                                << "Stop bit(s)"
                                << "Label5";
    QTest::newRow("cboParity") << "cboParity"
                               << "Parity bit"
                               << "Label6";
    QTest::newRow("lblBDADDR") << "lblBDADDR"
                               << "Device address"
                               << "Label10";
    QTest::newRow("lblVersion") << "lblVersion"
                                << "Firmware version"
                                << "Label9";
    QTest::newRow("cboPort") << "cboPort"
                             << "COM port"
                             << "";
    QTest::newRow("cmdConnect") << "cmdConnect"
                                << "Connect"
                                << "";
    QTest::newRow("chkMaster") << "chkMaster"
                               << "Master"
                               << "";
    QTest::newRow("cmdWrite") << "cmdWrite"
                              << "WRITE settings to module"
                              << "";
}

void AccessibilityTest::fieldsAreNamedByTheirCaptions() {
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    auto* field = w->findChild<QWidget*>(control);
    QVERIFY2(m_names.contains(field), "not reached from the window");
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(field);

    // On Linux Qt announces a list's value as its name and its caption by the relation.
    QCOMPARE(node->role() == QAccessible::ComboBox ? field->accessibleName() : m_names.value(field),
             name);
    if (caption.isEmpty())
        return;
    QCOMPARE(w->findChild<QLabel*>(caption)->buddy(), field);
    QVERIFY(Labels(node).contains(caption));
}

void AccessibilityTest::everyControlTakingInputHasAName() {
    for (auto it = m_names.cbegin(); it != m_names.cend(); ++it) {
        const auto* control = qobject_cast<const QWidget*>(it.key());
        if (!control || !control->isVisible() || control->focusPolicy() == Qt::NoFocus)
            continue;
        const bool labelled = !Labels(QAccessible::queryAccessibleInterface(it.key())).isEmpty();
        QVERIFY2(!it.value().isEmpty() || labelled, qPrintable(ControlName(control, *w)));
    }
}

void AccessibilityTest::lampSaysTheConnectionState() {
    QCOMPARE(m_names.value(w->shpStatus), QStringLiteral("Connection status: not connected"));
    w->ShowConnected(true);
    QCOMPARE(QAccessible::queryAccessibleInterface(w->shpStatus)->text(QAccessible::Name),
             QStringLiteral("Connection status: connected"));
}

int RunAccessibilityTests(int argc, char** argv) {
    AccessibilityTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_accessibility.moc"
