// Message boxes of the programs without a window of their own for them: a line on stderr.
// A run reports its own outcomes, so this speaks only if shared code ever wants to tell the
// user something.
#pragma once

#include "platform/message_box.h"

#include <QCoreApplication>

#include <cstdio>

namespace production_run {

class StderrMessageBox : public platform::MessageBox {
public:
    void show(platform::MessageIcon, const QString& text) override {
        std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(text));
    }
};

} // namespace production_run
