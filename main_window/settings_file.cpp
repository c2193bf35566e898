// Saving the window's settings to a profile file and loading them from one: the two
// actions (with their shortcuts and the window's context menu), and the files behind them.
#include "frm_main.h"

#include "list_selection.h"

#include "module_profile/profile.h"
#include "module_protocol/settings_reply.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>

namespace {

const QString kFileFilter = QStringLiteral("Profiles (*.ini);;All files (*)");

} // namespace

void frmMain::CreateSettingsFileActions() {
    m_saveSettingsAction = new QAction(QStringLiteral("Save settings to file…"), this);
    m_saveSettingsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    m_loadSettingsAction = new QAction(QStringLiteral("Load settings from file…"), this);
    m_loadSettingsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(m_saveSettingsAction, &QAction::triggered, this, &frmMain::SaveSettings_Click);
    connect(m_loadSettingsAction, &QAction::triggered, this, &frmMain::LoadSettings_Click);
    addAction(m_saveSettingsAction);
    addAction(m_loadSettingsAction);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    EnableSettingsFileActions();
}

void frmMain::EnableSettingsFileActions() {
    // The write button shows the connected display.
    const bool enabled = cmdWrite->isEnabled() && !m_busy;
    m_saveSettingsAction->setEnabled(enabled);
    m_loadSettingsAction->setEnabled(enabled);
}

void frmMain::SaveSettings_Click() {
    if (HoldDuringKeepAlive(m_saveSettingsAction, [this] { m_saveSettingsAction->trigger(); }))
        return;
    const QString path = QFileDialog::getSaveFileName(this, m_saveSettingsAction->text().chopped(1),
                                                      QString(), kFileFilter);
    if (!path.isEmpty())
        SaveSettingsToFile(path);
}

void frmMain::LoadSettings_Click() {
    if (HoldDuringKeepAlive(m_loadSettingsAction, [this] { m_loadSettingsAction->trigger(); }))
        return;
    const QString path = QFileDialog::getOpenFileName(this, m_loadSettingsAction->text().chopped(1),
                                                      QString(), kFileFilter);
    // The keep-alive goes on while the dialog is open and may have lost the module.
    if (!path.isEmpty() && m_loadSettingsAction->isEnabled())
        LoadSettingsFromFile(path);
}

bool frmMain::SaveSettingsToFile(const QString& path) {
    profile::Profile saved;
    const std::pair<QString, QString> fields[] = {
        {QStringLiteral("name"), txtName->text()},
        {QStringLiteral("pin"), txtPin->text()},
        {QStringLiteral("pin_request"), chkPIN->isChecked() ? "on" : "off"},
        {QStringLiteral("baud"), main_window::SelectedText(*cboBaud)},
        {QStringLiteral("stop_bits"), main_window::SelectedText(*cboStopBit)},
        {QStringLiteral("parity"), main_window::SelectedText(*cboParity).left(1)},
        {QStringLiteral("role"), chkMaster->isChecked() ? "master" : "slave"},
        {QStringLiteral("address"), txtAddr->text()},
        {QStringLiteral("discoverable"), chkDiscoverable->isChecked() ? "yes" : "no"},
    };
    for (const auto& [key, value] : fields) {
        const bool unchosenList =
            value.isEmpty() && (key == "baud" || key == "stop_bits" || key == "parity");
        // A write sends no address in the slave role, and its disabled box cannot be
        // corrected there: such an address is left out rather than refused.
        const bool unsentAddress = key == "address" && !chkMaster->isChecked();
        const std::optional<profile::ProfileError> error =
            unchosenList ? std::nullopt : profile::SetModuleKey(saved.module, key, value);
        if (error && !unsentAddress) {
            m_platform.messages.show(platform::MessageIcon::Critical,
                                     QStringLiteral("The settings were not saved.\n%1")
                                         .arg(profile::DescribeProfileError(*error)));
            return false;
        }
    }
    saved.device = {lblBDADDR->text(), lblVersion->text()};

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(profile::FormatProfile(saved)) < 0 ||
        !file.commit()) {
        m_platform.messages.show(platform::MessageIcon::Critical,
                                 QStringLiteral("Cannot write the file %1\n%2")
                                     .arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    return true;
}

bool frmMain::LoadSettingsFromFile(const QString& path) {
    const auto refuse = [this, &path](const QString& reason) {
        m_platform.messages.show(platform::MessageIcon::Critical,
                                 QStringLiteral("Cannot load the file %1\n%2")
                                     .arg(QDir::toNativeSeparators(path), reason));
        return false;
    };
    const auto text = profile::ReadProfileFile(path);
    if (const auto* error = std::get_if<profile::ProfileError>(&text))
        return refuse(profile::DescribeProfileError(*error));
    const auto parsed = profile::ParseProfileText(std::get<QString>(text));
    if (const auto* error = std::get_if<profile::ProfileError>(&parsed))
        return refuse(profile::DescribeProfileError(*error));
    ShowModuleSettings(std::get<profile::Profile>(parsed).module);
    return true;
}

void frmMain::ShowModuleSettings(const profile::ModuleSettings& settings) {
    // In the order the settings query fills the fields, so the panel rules run alike.
    if (settings.name)
        txtName->setText(*settings.name);
    if (settings.pin)
        txtPin->setText(*settings.pin);
    if (settings.master == true)
        ShowMasterRole();
    else if (settings.master == false)
        ShowSlaveRole();
    if (settings.address)
        txtAddr->setText(*settings.address);
    if (settings.discoverable)
        chkDiscoverable->setChecked(*settings.discoverable);
    if (settings.pinRequest) {
        chkPIN->setChecked(*settings.pinRequest);
        txtPin->setEnabled(*settings.pinRequest);
    }
    if (settings.baud)
        main_window::SelectIfListed(*cboBaud, modProg::BaudRateIndex(*settings.baud));
    if (settings.stopBits)
        main_window::SelectIfListed(*cboStopBit, modProg::StopBitsIndex(*settings.stopBits));
    if (settings.parity)
        main_window::SelectIfListed(*cboParity, modProg::ParityIndex(*settings.parity));
}
