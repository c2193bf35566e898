// Keeps user input away from one window while it is busy, without greying its controls:
// a disabled window that repainted every control grey for a moment would look broken.
#pragma once

#include <QObject>

class QWidget;

namespace main_window {

class InputBlocker : public QObject {
    Q_OBJECT

public:
    explicit InputBlocker(QWidget* window);

    void setBlocking(bool blocking);
    bool isBlocking() const { return m_blocking; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    bool m_blocking = false;
};

} // namespace main_window
