// The window around the link to the module: start-up, Connect, Refresh, the keep-alive,
// Reset and exit, closing, and the connected/disconnected display.
#include "frm_main.h"

#include "module_protocol/commands.h"
#include "module_protocol/module_check.h"
#include "serial_link/port_session.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTextDocument>
#include <QToolButton>

#include <cmath>

namespace {

using platform::kPortCount;
const QColor kConnectedColour(0, 255, 0);
const QColor kDisconnectedColour(255, 0, 0);
const QString kNoReplyMessage = QStringLiteral("No reply from device!");
const QString kInvalidFirmwareMessage =
    QStringLiteral("Invalid firmware version!\r\nIt must be v1.1 or v2.0 !");
const QString kChoosePortMessage =
    QStringLiteral("Choose the COM port of the adapter in the list first.");

// The list position of a saved port number; only whole numbers 1 to 16 select one.
int PortPosition(const QString& saved) {
    bool isNumber = false;
    const double number = saved.toDouble(&isNumber);
    if (!isNumber || number != std::floor(number) || number < 1 || number > kPortCount)
        return -1;
    return static_cast<int>(number) - 1;
}

// Qt draws a tooltip that looks like markup as rich text; a device's own strings could,
// so such a text is escaped to read exactly as it is.
QString PlainToolTip(const QString& text) {
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap) : text;
}

} // namespace

void frmMain::ConnectWorkflow() {
    connect(cmdConnect, &QToolButton::clicked, this, &frmMain::cmdConnect_Click);
    connect(cmdRefresh, &QToolButton::clicked, this, &frmMain::cmdRefresh_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmMain::cmdExit_Click);
    connect(cmdWrite, &QPushButton::clicked, this, &frmMain::cmdWrite_Click);
    connect(&Timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer);
    connect(cboPort, &main_window::PortList::popupAboutToShow, this, &frmMain::ShowPortDevices);
}

void frmMain::Form_Load() {
    const QString saved = m_platform.settings.value(modComm::kPropertiesSection,
                                                    modComm::kCommPortKey, QStringLiteral("1"));
    const QString savedDevice =
        m_platform.settings.value(modComm::kPropertiesSection, modComm::kCommDeviceKey, {});
    for (int port = 1; port <= kPortCount; ++port)
        cboPort->addItem(QStringLiteral("COM%1").arg(port));
    // The devices behind the numbers are searched for only to find a remembered one; the
    // entries' descriptions are filled in whenever the list drops down.
    const std::optional<int> moved = savedDevice.isEmpty()
                                         ? std::nullopt
                                         : platform::PortOpening(ShowPortDevices(), savedDevice);
    cboPort->setCurrentIndex(moved ? *moved - 1 : PortPosition(saved));
    ShowConnected(false);
}

QList<platform::PortAssignment> frmMain::ShowPortDevices() {
    const QList<platform::PortAssignment> ports = MSComm1.discoverPorts();
    for (const platform::PortAssignment& port : ports)
        cboPort->setItemData(port.portNumber - 1, PlainToolTip(platform::PortSummary(port)),
                             Qt::ToolTipRole);
    return ports;
}

void frmMain::cmdConnect_Click() {
    FinishAddressCheck();
    const int position = cboPort->currentIndex();
    if (position < 0) {
        m_platform.messages.show(platform::MessageIcon::Critical, kChoosePortMessage);
        return;
    }
    if (!modComm::OpenPort(m_link, position + 1))
        return;

    BeginBusy();
    const modProg::ModuleCheck check = modProg::CheckModule(m_link);
    if (check != modProg::ModuleCheck::Supported) {
        m_platform.messages.show(platform::MessageIcon::Critical,
                                 check == modProg::ModuleCheck::NoReply ? kNoReplyMessage
                                                                        : kInvalidFirmwareMessage);
        modComm::ClosePort(m_link);
        EndBusy();
        return;
    }
    QuerySettings();
    Timer1.start();
    ShowConnected(true);
    EndBusy();
}

void frmMain::cmdRefresh_Click() {
    FinishAddressCheck();
    if (HoldDuringKeepAlive(cmdRefresh, [this] { cmdRefresh_Click(); }))
        return;
    Timer1.stop();
    BeginBusy();
    QuerySettings();
    EndBusy();
    Timer1.start();
}

void frmMain::cmdExit_Click() {
    FinishAddressCheck();
    if (HoldDuringKeepAlive(cmdExit, [this] { cmdExit_Click(); }))
        return;
    modComm::SendCommand(m_link, modProg::ComposeCommand(modProg::Command::Reset));
    close();
}

void frmMain::Timer1_Timer() {
    if (m_keepAlivePing)
        return;
    m_keepAlivePing = true;
    const bool answered = modProg::PingModule(m_link);
    m_keepAlivePing = false;
    if (!answered) {
        ShowConnected(false);
        Timer1.stop();
        modComm::ClosePort(m_link);
    }
    RunHeldInput();
}

bool frmMain::HoldDuringKeepAlive(const QObject* source, std::function<void()> action) {
    if (!m_keepAlivePing)
        return false;
    // A double click is one request: a control that already has a click held gets no
    // second one, or the write or query would run twice.
    for (const HeldInput& held : std::as_const(m_heldInput)) {
        if (held.source == source)
            return true;
    }
    m_heldInput.append({source, std::move(action)});
    return true;
}

void frmMain::RunHeldInput() {
    const QList<HeldInput> held = std::exchange(m_heldInput, {});
    for (const HeldInput& input : held) {
        if (m_unloaded)
            return;
        // A button only if it still takes clicks now that the ping has ended (an action
        // checks that itself); closing always.
        const auto* control = qobject_cast<const QWidget*>(input.source);
        if (control == nullptr || control == this || control->isEnabled())
            input.action();
    }
}

void frmMain::closeEvent(QCloseEvent* event) {
    // Never tear the port down under a running exchange.
    if (m_busy) {
        event->ignore();
        return;
    }
    if (HoldDuringKeepAlive(this, [this] { close(); })) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void frmMain::Form_Unload() {
    m_unloaded = true;
    modComm::ClosePort(m_link);
}

void frmMain::ShowConnected(bool connected) {
    cboPort->setEnabled(!connected);
    cmdConnect->setEnabled(!connected);
    shpStatus->setFillColor(connected ? kConnectedColour : kDisconnectedColour);
    ShowLampName(connected);
    cmdRefresh->setEnabled(connected);
    lblBDADDR->setEnabled(connected);
    lblVersion->setEnabled(connected);
    txtName->setEnabled(connected);
    chkPIN->setEnabled(connected);
    if (connected)
        txtPin->setEnabled(chkPIN->isChecked());
    chkDiscoverable->setEnabled(connected);
    chkMaster->setEnabled(connected);
    cboBaud->setEnabled(connected);
    cboStopBit->setEnabled(connected);
    cboParity->setEnabled(connected);
    cmdWrite->setEnabled(connected);
    cmdExit->setEnabled(connected);
    EnableSettingsFileActions();
}
