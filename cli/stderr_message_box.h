// Message boxes of the command line: a line on stderr. The commands report their own
// outcomes, so this speaks only if shared code ever wants to tell the user something.
#pragma once

#include "platform/message_box.h"

#include <cstdio>

namespace cli {

class StderrMessageBox : public platform::MessageBox {
public:
    void show(platform::MessageIcon, const QString& text) override {
        std::fprintf(stderr, "cordelo-cli: %s\n", qPrintable(text));
    }
};

} // namespace cli
