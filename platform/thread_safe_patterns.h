// What a program with worker threads does first on MinGW: see below.
#pragma once

#include <QtGlobal>

namespace platform {

// A thread that matched a JIT-compiled QRegularExpression frees Qt's thread-local JIT stack as
// it ends, and with MinGW's emulated TLS it does so after that storage is gone: the record's,
// the modules' and the slots' threads crashed or hung a program at its end. Without the JIT no
// thread-local stack is made; the patterns here are small. Call before the application object.
inline void KeepPatternsOffThreadStacks() {
#ifdef Q_CC_MINGW
    qputenv("QT_ENABLE_REGEXP_JIT", "0");
#endif
}

} // namespace platform
