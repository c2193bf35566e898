#include "label_code.h"

#include <zint.h>

#include <memory>

namespace label_print {
namespace {

struct SymbolDeleter {
    void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};

int SymbologyOf(profile::CodeKind kind) {
    switch (kind) {
    case profile::CodeKind::Qr:
        return BARCODE_QRCODE;
    case profile::CodeKind::DataMatrix:
        return BARCODE_DATAMATRIX;
    case profile::CodeKind::Code128:
        return BARCODE_CODE128;
    }
    return BARCODE_QRCODE;
}

// The light margin each symbology asks for, in modules.
int QuietZoneOf(profile::CodeKind kind) {
    switch (kind) {
    case profile::CodeKind::Qr:
        return 4;
    case profile::CodeKind::DataMatrix:
        return 1;
    case profile::CodeKind::Code128:
        return 10;
    }
    return 4;
}

} // namespace

QString CodeKindName(profile::CodeKind kind) {
    switch (kind) {
    case profile::CodeKind::Qr:
        return QStringLiteral("QR Code");
    case profile::CodeKind::DataMatrix:
        return QStringLiteral("Data Matrix");
    case profile::CodeKind::Code128:
        return QStringLiteral("Code 128");
    }
    return {};
}

double SmallestModuleMm(profile::CodeKind kind) {
    // 7.5 mil for bars, which laser scanners read at a hand's distance; a camera wants
    // matrix modules a little larger.
    return kind == profile::CodeKind::Code128 ? 0.19 : 0.25;
}

std::variant<CodeModules, QString> EncodeCode(profile::CodeKind kind, const QString& text) {
    if (text.isEmpty())
        return QStringLiteral("the %1 would hold nothing").arg(CodeKindName(kind));
    QByteArray bytes;
    const std::unique_ptr<zint_symbol, SymbolDeleter> symbol(ZBarcode_Create());
    symbol->symbology = SymbologyOf(kind);
    symbol->show_hrt = 0;
    // Vector coordinates in modules.
    symbol->scale = 0.5f;
    if (kind == profile::CodeKind::Code128) {
        for (const QChar c : text) {
            if (c.unicode() > 0xFF)
                return QStringLiteral("Code 128 holds Latin-1 characters only, not \"%1\"").arg(c);
        }
        bytes = text.toLatin1();
        symbol->input_mode = DATA_MODE;
    } else {
        bytes = text.toUtf8();
        symbol->input_mode = UNICODE_MODE;
    }
    const int status = ZBarcode_Encode_and_Buffer_Vector(
        symbol.get(), reinterpret_cast<const unsigned char*>(bytes.constData()),
        static_cast<int>(bytes.size()), 0);
    if (status >= ZINT_ERROR)
        return status == ZINT_ERROR_TOO_LONG
                   ? QStringLiteral("the text is too long for a %1 (%2 bytes)")
                         .arg(CodeKindName(kind))
                         .arg(bytes.size())
                   : QStringLiteral("the %1 cannot hold the text: %2")
                         .arg(CodeKindName(kind), QString::fromLatin1(symbol->errtxt));
    CodeModules modules{kind, symbol->width, symbol->rows, QuietZoneOf(kind), {}};
    for (const zint_vector_rect* rect = symbol->vector->rectangles; rect != nullptr;
         rect = rect->next) {
        modules.dark << QRect(qRound(rect->x), modules.isLinear() ? 0 : qRound(rect->y),
                              qRound(rect->width), modules.isLinear() ? 1 : qRound(rect->height));
    }
    return modules;
}

} // namespace label_print
