// The input rules of the device settings panel: the role display, the PIN request, and
// the key filter and format check of the connect-to address.
#include "frm_main.h"

#include "address_rules.h"

#include <QApplication>
#include <QCheckBox>
#include <QInputMethodEvent>
#include <QKeyEvent>

#include <optional>

namespace {

const QString kInvalidAddressMessage = QStringLiteral("Invalid address format!");

// The characters a key press types, or nothing for a key that types none: editing
// and moving keys, and shortcuts such as Ctrl+V, whose paste is not filtered.
std::optional<QString> TypedText(const QKeyEvent& key) {
    if (key.key() == Qt::Key_Backspace)
        return QString(QChar(8));
    // Ctrl together with Alt is AltGr on Windows, which does type characters.
    const Qt::KeyboardModifiers modifiers = key.modifiers();
    if ((modifiers & (Qt::ControlModifier | Qt::MetaModifier)) && !(modifiers & Qt::AltModifier))
        return std::nullopt;
    switch (key.key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
        return std::nullopt;
    default:
        break;
    }
    if (key.text().isEmpty())
        return std::nullopt;
    return key.text();
}

} // namespace

void frmMain::ConnectPanelRules() {
    // toggled fires for every change of value, whether the user or the program made it,
    // and not when the value is set to what it already is: that is when a check box
    // reports a click here. Qt's clicked would miss the program's changes.
    connect(chkMaster, &QAbstractButton::toggled, this, &frmMain::chkMaster_Click);
    connect(chkPIN, &QAbstractButton::toggled, this, &frmMain::chkPIN_Click);

    txtAddr->installEventFilter(this);
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this, &frmMain::NoteFocusChange);
}

void frmMain::ShowMasterRole() {
    chkMaster->setChecked(true);
    txtAddr->setEnabled(true);
    chkDiscoverable->setEnabled(false);
}

void frmMain::ShowSlaveRole() {
    chkMaster->setChecked(false);
    txtAddr->setEnabled(false);
    chkDiscoverable->setEnabled(true);
}

void frmMain::chkMaster_Click() {
    FinishAddressCheck();
    if (chkMaster->isChecked())
        ShowMasterRole();
    else
        ShowSlaveRole();
}

void frmMain::chkPIN_Click() {
    txtPin->setEnabled(chkPIN->isChecked());
}

void frmMain::txtAddr_KeyPress(int& keyAscii) {
    if (!main_window::IsAddressKey(keyAscii))
        keyAscii = 0;
}

void frmMain::txtAddr_LostFocus() {
    txtAddr->setText(txtAddr->text().toLower());
    if (!main_window::HasAddressFormat(txtAddr->text()))
        m_platform.messages.show(platform::MessageIcon::Critical, kInvalidAddressMessage);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtAddr) {
        if (event->type() == QEvent::KeyPress) {
            const std::optional<QString> typed = TypedText(*static_cast<QKeyEvent*>(event));
            if (typed && !LetAddressTextThrough(*typed))
                return true;
        } else if (event->type() == QEvent::InputMethod) {
            // Text an input method commits is typed too.
            const QString& committed = static_cast<QInputMethodEvent*>(event)->commitString();
            if (!LetAddressTextThrough(committed))
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool frmMain::LetAddressTextThrough(const QString& typed) {
    for (const QChar character : typed) {
        int keyAscii = character.unicode();
        txtAddr_KeyPress(keyAscii);
        if (keyAscii == 0)
            return false;
    }
    return true;
}

void frmMain::NoteFocusChange(QWidget* old, QWidget* now) {
    // Only a move to another control of this window counts. Deactivating the window
    // leaves no focus widget in it, and a message box is a window of its own: checking
    // then would show the message again each time the box took the focus.
    if (old != txtAddr || !isAncestorOf(now))
        return;
    // Show the message after Qt has finished moving the focus, not inside the move. A click
    // that moved the focus may reach its handler first; the handler finishes the check.
    m_addressCheckPending = true;
    QMetaObject::invokeMethod(this, &frmMain::FinishAddressCheck, Qt::QueuedConnection);
}

void frmMain::FinishAddressCheck() {
    if (std::exchange(m_addressCheckPending, false))
        txtAddr_LostFocus();
}
