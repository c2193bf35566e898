// A fresh window on the test doubles for every test, shown and active as a user sees it.
#pragma once

#include "frm_main.h"
#include "test_platform.h"

#include <QTest>

#include <memory>

struct WindowUnderTest {
    doubles::TestPlatform test;
    frmMain window{test.platform};
};

// Shows the window and waits until it holds the keyboard focus.
inline std::unique_ptr<WindowUnderTest> ShowWindow() {
    auto under = std::make_unique<WindowUnderTest>();
    under->window.show();
    if (!QTest::qWaitForWindowActive(&under->window))
        return nullptr;
    return under;
}

// The control of the window that a widget belongs to: the focus can rest on a part of
// a control, such as the text field of a combo box.
inline QString ControlName(const QWidget* widget, const frmMain& window) {
    while (widget && widget != &window && widget->objectName().isEmpty())
        widget = widget->parentWidget();
    return widget ? widget->objectName() : QString();
}
