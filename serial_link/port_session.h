// Opening, closing, flushing and writing the port, and remembering the last port
// that opened.
#pragma once

#include "link.h"

#include <QString>

namespace modComm {

inline const QString kLineSettings = QStringLiteral("9600,N,8,1");
inline const QString kPropertiesSection = QStringLiteral("Properties");
inline const QString kCommPortKey = QStringLiteral("CommPort");
inline const QString kCommDeviceKey = QStringLiteral("CommDevice");

// True when the port is open on return. A failure has been shown to the user. A fresh
// open starts with empty input and an empty receive state, and is remembered by its port
// number and by its device.
bool OpenPort(Link& link, int portNumber);
// OpenPort without telling anyone and without remembering the port: for callers that
// report a failure their own way (the port's errorDescription() says why).
bool OpenLine(Link& link, int portNumber);
void ClosePort(Link& link);
// Drops everything received and not yet scanned; a token already begun stays open.
void FlushInput(Link& link);
// Writes the text exactly as given, only while the port is open.
void SendCommand(Link& link, const QString& command);

} // namespace modComm
