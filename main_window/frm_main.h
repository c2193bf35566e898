// The tool's one window, frmMain: its controls (the data model of the whole tool), the
// keep-alive timer, the serial port, and the input rules of the device settings panel.
#pragma once

#include "input_blocker.h"
#include "line_widget.h"
#include "port_list.h"
#include "shape_widget.h"
#include "text_box.h"

#include "module_protocol/settings_write.h"
#include "platform/platform.h"
#include "serial_link/link.h"

#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <optional>

namespace profile {
struct ModuleSettings;
}

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QToolButton;

class frmMain : public QWidget {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kKeepAliveInterval{1000};

    explicit frmMain(platform::Platform& platform, QWidget* parent = nullptr);
    ~frmMain() override;

    // The controls in the window's own order, which is also their order of creation.
    QToolButton* cmdRefresh = nullptr;
    main_window::PortList* cboPort = nullptr;
    QToolButton* cmdConnect = nullptr;
    QPushButton* cmdWrite = nullptr;
    QPushButton* cmdExit = nullptr;
    QGroupBox* Frame2 = nullptr;
    QComboBox* cboParity = nullptr;
    QComboBox* cboStopBit = nullptr;
    QComboBox* cboBaud = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label4 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QCheckBox* chkPIN = nullptr;
    QCheckBox* chkDiscoverable = nullptr;
    QCheckBox* chkMaster = nullptr;
    main_window::TextBox* txtAddr = nullptr;
    main_window::TextBox* txtPin = nullptr;
    main_window::TextBox* txtName = nullptr;
    main_window::LineWidget* Line8 = nullptr;
    QLabel* lblCTA = nullptr;
    QLabel* lblFMT = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label1 = nullptr;
    QGroupBox* Frame3 = nullptr;
    main_window::ShapeWidget* shpStatus = nullptr;
    platform::SerialPort& MSComm1;
    QTimer Timer1;
    QLabel* lblVersion = nullptr;
    QLabel* lblBDADDR = nullptr;
    QLabel* lblBattery = nullptr;
    main_window::LineWidget* Line7 = nullptr;
    main_window::LineWidget* Line3 = nullptr;
    main_window::LineWidget* Line2 = nullptr;
    main_window::LineWidget* Line1 = nullptr;
    main_window::ShapeWidget* shpBattLow = nullptr;
    main_window::ShapeWidget* shpBattFull = nullptr;
    main_window::ShapeWidget* shpBattMed = nullptr;
    main_window::LineWidget* Line4 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label9 = nullptr;

    // The role display: chkMaster's value and which of txtAddr and chkDiscoverable can
    // be edited. Changing chkMaster's value runs its click handler once, nested.
    void ShowMasterRole();
    void ShowSlaveRole();

    // Program start: fills the port list, selects the saved port (by its device when that
    // is there), shows disconnected.
    void Form_Load();
    // Works out again what each port number opens and names it in the entry's tooltip.
    QList<platform::PortAssignment> ShowPortDevices();
    void ShowConnected(bool connected);
    // Busy pointer, and no input reaches the window; EndBusy ends it however often
    // BeginBusy ran.
    void BeginBusy();
    void EndBusy();
    bool isBusy() const { return m_busy; }
    // Reads the module's settings into the fields.
    void QuerySettings();
    // The keep-alive: pings the module; an unanswered ping disconnects silently.
    void Timer1_Timer();

    // "Save settings to file…" (Ctrl+S) and "Load settings from file…" (Ctrl+O), also in
    // the window's context menu; they take input only while connected and not busy.
    QAction* saveSettingsAction() const { return m_saveSettingsAction; }
    QAction* loadSettingsAction() const { return m_loadSettingsAction; }
    // The fields as a profile file; false, with the user told why, when nothing was saved.
    bool SaveSettingsToFile(const QString& path);
    // Fills the fields from a profile file without sending anything; false, with the user
    // told which key and why, when the file was refused and the fields left as they were.
    bool LoadSettingsFromFile(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void SetAccessibleNames();
    // The lamp's colour, told in words.
    void ShowLampName(bool connected);
    void SetTabOrder();
    void SetWindowProperties();
    void CentreOnScreen();
    void ConnectPanelRules();
    void ConnectWorkflow();

    void cmdConnect_Click();
    void cmdRefresh_Click();
    void cmdExit_Click();
    void cmdWrite_Click();
    void Form_Unload();
    // The window's fields as a write sends them, or nothing when a list has no entry
    // chosen (the user has been told which).
    std::optional<modProg::SettingsToWrite> SettingsFromWindow();

    // While a keep-alive ping waits, clicks that talk to the module, the file actions and
    // closing are held and carried out in order once the ping has ended, at most one per
    // source: the control or action, or the window itself for closing.
    struct HeldInput {
        const QObject* source = nullptr;
        std::function<void()> action;
    };
    bool HoldDuringKeepAlive(const QObject* source, std::function<void()> action);
    void RunHeldInput();

    void CreateSettingsFileActions();
    void EnableSettingsFileActions();
    void SaveSettings_Click();
    void LoadSettings_Click();
    void ShowModuleSettings(const profile::ModuleSettings& settings);

    void chkMaster_Click();
    void chkPIN_Click();
    // Replaces the code of a typed character by 0 when the address box must not take it.
    void txtAddr_KeyPress(int& keyAscii);
    void txtAddr_LostFocus();

    bool LetAddressTextThrough(const QString& typed);
    void NoteFocusChange(QWidget* old, QWidget* now);
    // Runs the focus-lost check of txtAddr if a move of the focus left it due; every click
    // handler calls it first, so it acts on the address as the check leaves it.
    void FinishAddressCheck();

    platform::Platform& m_platform;
    modComm::Link m_link;
    main_window::InputBlocker m_inputBlocker{this};
    bool m_busy = false;
    bool m_keepAlivePing = false;
    bool m_addressCheckPending = false;
    bool m_unloaded = false;
    QList<HeldInput> m_heldInput;
    bool m_centred = false;
    QMetaObject::Connection m_focusWatch;
    QAction* m_saveSettingsAction = nullptr;
    QAction* m_loadSettingsAction = nullptr;
};
