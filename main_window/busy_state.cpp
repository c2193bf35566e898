// The busy state around Connect, Refresh and Write: the busy pointer, and the window
// taking no input. There is no nesting count: one EndBusy ends it.
#include "frm_main.h"

#include <QApplication>

void frmMain::BeginBusy() {
    if (!m_busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    m_busy = true;
    m_inputBlocker.setBlocking(true);
    EnableSettingsFileActions();
    m_platform.pacing.processEvents();
}

void frmMain::EndBusy() {
    if (m_busy)
        QApplication::restoreOverrideCursor();
    m_busy = false;
    m_inputBlocker.setBlocking(false);
    EnableSettingsFileActions();
    m_platform.pacing.processEvents();
}
