// The code of a label as zint encodes it: its dark modules, in units of one module, and how
// much light margin a scanner needs around it.
#pragma once

#include "module_profile/label_template.h"

#include <QList>
#include <QRect>
#include <QString>

#include <variant>

namespace label_print {

struct CodeModules {
    profile::CodeKind kind = profile::CodeKind::Qr;
    // The symbol's size in modules, without its quiet zone; a Code 128 is one row tall and
    // drawn as high as its box.
    int columns = 0;
    int rows = 0;
    int quietZone = 0;
    // Dark rectangles, in modules from the symbol's top left corner.
    QList<QRect> dark;

    bool isLinear() const { return kind == profile::CodeKind::Code128; }
    int columnsWithQuietZone() const { return columns + 2 * quietZone; }
    int rowsWithQuietZone() const { return isLinear() ? 1 : rows + 2 * quietZone; }
};

// The text as a code of this kind, or why it cannot hold it (Code 128 holds Latin-1 only;
// a QR Code or a Data Matrix holds a few thousand characters at most).
std::variant<CodeModules, QString> EncodeCode(profile::CodeKind kind, const QString& text);

// The narrowest module a scanner reads reliably, in millimetres.
double SmallestModuleMm(profile::CodeKind kind);

// "QR Code", "Data Matrix" or "Code 128".
QString CodeKindName(profile::CodeKind kind);

} // namespace label_print
