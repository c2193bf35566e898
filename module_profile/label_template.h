// A label template: the size of a label in millimetres, the one code it carries and the lines of
// text beside it, each with placeholders filled for the unit that passed. The one profile reader
// reads it, with its own sections: [Label], [Code] and [Text].
#pragma once

#include "profile.h"

#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <variant>

namespace profile {

enum class CodeKind { Qr, DataMatrix, Code128 };

// The placeholders a label may hold: the unit, its own device address, the bench, the
// firmware, the day it passed, and every other [Module] key the unit was written with (a
// column of a values list, such as {pin}).
QStringList LabelPlaceholders();

struct LabelTextLine {
    QString text;
    // The height of the letters in millimetres.
    double sizeMm = 3;
    // The line of the file that gives the text, for messages.
    int line = 0;

    bool operator==(const LabelTextLine&) const = default;
};

struct LabelTemplate {
    double widthMm = 0;
    double heightMm = 0;
    CodeKind kind = CodeKind::Qr;
    QString codeText;
    int codeTextLine = 0;
    // Where the code is drawn, in millimetres from the label's top left corner; a square
    // code is as large as the box's shorter side allows.
    QRectF codeBoxMm;
    int codeWidthLine = 0;
    int codeHeightLine = 0;
    // The first line's top left corner; each line follows the one above.
    double textLeftMm = 0;
    double textTopMm = 0;
    QList<LabelTextLine> lines;

    bool operator==(const LabelTemplate&) const = default;
};

// Letters take their size, a line of text its size times this.
inline constexpr double kLineSpacing = 1.25;
// The most text lines a label holds.
inline constexpr int kLabelLines = 8;
// A label template is a few hundred bytes.
inline constexpr qint64 kLargestLabelTemplate = 16 * 1024;

std::variant<LabelTemplate, ProfileError> ParseLabelText(const QString& text);

} // namespace profile
