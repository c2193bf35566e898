// Moving the settings between the window and the module: the reply of a query applied
// to the fields in their order, and the fields gathered for a write.
#include "frm_main.h"

#include "list_selection.h"

#include "module_protocol/commands.h"
#include "module_protocol/settings_reply.h"
#include "module_protocol/settings_write.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString kWriteSuccessMessage = QStringLiteral("Write settings success!");
const QString kWriteFailedMessage = QStringLiteral("No reply from device!");

} // namespace

void frmMain::QuerySettings() {
    using modProg::Field;
    const modProg::SettingsReply reply = modProg::ReadSettingsReply(m_link);

    txtName->setText(reply[Field::Name]);
    txtPin->setText(reply[Field::PinCode]);
    if (reply[Field::Role] == modProg::kMasterRole)
        ShowMasterRole();
    else
        ShowSlaveRole();
    txtAddr->setText(reply[Field::ConnectAddress]);
    lblBDADDR->setText(reply[Field::DeviceAddress]);
    if (txtAddr->text().isEmpty())
        txtAddr->setText(modProg::kNoAddress);
    chkDiscoverable->setChecked(reply[Field::Visibility] != modProg::kInvisible);
    const bool pinRequest = reply[Field::PinRequest] != modProg::kPinOff;
    chkPIN->setChecked(pinRequest);
    txtPin->setEnabled(pinRequest);
    lblVersion->setText(reply[Field::Firmware]);

    main_window::SelectIfListed(*cboBaud, modProg::BaudRateIndex(reply[Field::BaudRate]));
    main_window::SelectIfListed(*cboStopBit, modProg::StopBitsIndex(reply[Field::StopBits]));
    main_window::SelectIfListed(*cboParity, modProg::ParityIndex(reply[Field::Parity]));
}

std::optional<modProg::SettingsToWrite> frmMain::SettingsFromWindow() {
    for (QComboBox* list : {cboBaud, cboStopBit, cboParity}) {
        main_window::SelectTypedEntry(*list);
        if (list->currentIndex() < 0) {
            // The list is named as its caption reads, which is also its accessible name.
            m_platform.messages.show(platform::MessageIcon::Critical,
                                     QStringLiteral("Choose an entry in the list \"%1\" first.")
                                         .arg(list->accessibleName()));
            return std::nullopt;
        }
    }

    // A bracket would end the command, or every later reply token, early on the wire.
    for (QLineEdit* box : {txtName, txtPin}) {
        if (const std::optional<QChar> framing = modProg::FirstFramingCharacter(box->text())) {
            m_platform.messages.show(platform::MessageIcon::Critical,
                                     QStringLiteral("Invalid character \"%1\" in %2!")
                                         .arg(*framing)
                                         .arg(box->accessibleName()));
            return std::nullopt;
        }
    }

    modProg::SettingsToWrite settings;
    settings.name = txtName->text();
    settings.pinCode = txtPin->text();
    settings.baudRate = main_window::SelectedText(*cboBaud);
    settings.stopBits = main_window::SelectedText(*cboStopBit);
    settings.parityLetter = main_window::SelectedText(*cboParity).left(1);
    settings.master = chkMaster->isChecked();
    settings.connectAddress = txtAddr->text();
    settings.discoverable = chkDiscoverable->isChecked();
    settings.pinRequest = chkPIN->isChecked();
    return settings;
}

void frmMain::cmdWrite_Click() {
    FinishAddressCheck();
    if (HoldDuringKeepAlive(cmdWrite, [this] { cmdWrite_Click(); }))
        return;
    const std::optional<modProg::SettingsToWrite> settings = SettingsFromWindow();
    if (!settings)
        return;

    Timer1.stop();
    BeginBusy();
    if (modProg::WriteSettings(m_link, *settings))
        m_platform.messages.show(platform::MessageIcon::Information, kWriteSuccessMessage);
    else
        m_platform.messages.show(platform::MessageIcon::Critical, kWriteFailedMessage);
    Timer1.start();
    EndBusy();
}
