// Records every message box instead of showing it; a test can act while one "is open".
#pragma once

#include "platform/message_box.h"

#include <QList>

#include <functional>

namespace doubles {

struct ShownMessage {
    platform::MessageIcon icon;
    QString text;
};

class RecordingMessageBox : public platform::MessageBox {
public:
    void show(platform::MessageIcon icon, const QString& text) override {
        m_shown.append({icon, text});
        if (m_whileOpen)
            m_whileOpen(m_shown.last());
    }

    const QList<ShownMessage>& shown() const { return m_shown; }
    QStringList texts() const {
        QStringList texts;
        for (const ShownMessage& message : m_shown)
            texts << message.text;
        return texts;
    }
    void clear() { m_shown.clear(); }
    // Runs while the box would be on screen, before show() returns.
    void setWhileOpen(std::function<void(const ShownMessage&)> hook) {
        m_whileOpen = std::move(hook);
    }

private:
    QList<ShownMessage> m_shown;
    std::function<void(const ShownMessage&)> m_whileOpen;
};

} // namespace doubles
