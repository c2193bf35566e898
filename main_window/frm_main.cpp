// Creates the window with its design values: the controls, the tab order, the window's
// own properties, and the panel rules wired to their controls.
#include "frm_main.h"

#include "artwork.h"
#include "caption_fit.h"
#include "twips.h"

#include "resources/program_identity.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

namespace {

const QString kCaption = QStringLiteral("Cordelo Setup v1.1");
constexpr main_window::TwipRect kClientArea{0, 0, 8505, 4665};

} // namespace

frmMain::frmMain(platform::Platform& platform, QWidget* parent)
    : QWidget(parent), MSComm1(platform.port), m_platform(platform), m_link{platform, {}} {
    setObjectName(QStringLiteral("frmMain"));
    CreateControls();
    SetTabOrder();
    SetWindowProperties();
    main_window::FitFontToCaptions(*this);
    ConnectPanelRules();
    ConnectWorkflow();
    CreateSettingsFileActions();
}

frmMain::~frmMain() {
    // The controls are destroyed after this body, and destroying the one with the focus
    // moves the focus: that must not reach the rules of a half-destroyed window.
    disconnect(m_focusWatch);
}

void frmMain::SetTabOrder() {
    const QList<QWidget*> order = {cmdConnect, cboPort,    txtName,        txtPin,    chkMaster,
                                   txtAddr,    cboBaud,    cboStopBit,     cboParity, cmdWrite,
                                   cmdExit,    cmdRefresh, chkDiscoverable};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void frmMain::SetWindowProperties() {
    setWindowTitle(kCaption);
    // The program gives the application its icon at start; a window made without that
    // step loads the icon itself rather than decode the images twice.
    const QIcon programIcon = QApplication::windowIcon();
    setWindowIcon(programIcon.isNull() ? resources::LoadApplicationIcon() : programIcon);

    // A fixed single border: no resizing and no maximise button.
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(main_window::ToPixels(kClientArea).size());
    CentreOnScreen();
}

void frmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Only now is the frame around the window known; centre it once more with it.
    if (!m_centred) {
        m_centred = true;
        CentreOnScreen();
    }
}

void frmMain::CentreOnScreen() {
    // Without a window manager nobody else would centre the window.
    const QScreen* display = screen();
    if (!display)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(display->availableGeometry().center());
    move(frame.topLeft());
}
