// A label PDF read back as a person's scanner and eyes would: rasterised by pdftoppm, its code
// decoded by zbarimg, its text taken by pdftotext.
#pragma once

#include <QByteArray>
#include <QString>

namespace doubles {

// True when one of the programs is not installed here (scripts/install-deps.sh installs them).
bool LabelDecodersMissing();

// The code as zbarimg reads it, a newline, then the label's text; `scratch` is a folder for the
// page's picture.
QByteArray DecodedLabel(const QString& pdf, const QString& scratch);

// The code alone.
QByteArray DecodedCode(const QString& pdf, const QString& scratch);

} // namespace doubles
