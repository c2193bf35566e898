// The keys of a label template: numbers in millimetres, the code's kind, texts whose
// placeholders are known, and a layout that lies on the label.
#include "label_template_keys.h"

#include <QRegularExpression>

namespace profile {
namespace {

// Larger than any label roll or sheet.
constexpr double kLargestSideMm = 300;

const QRegularExpression kPlaceholder(QStringLiteral("\\{[^{}]*\\}"));
const QRegularExpression kLineKey(QStringLiteral("^(line|size)([1-9][0-9]*)$"));

std::optional<ProfileError> ReadMillimetres(const QString& key, const QString& value,
                                            bool mayBeZero, double& into) {
    bool isNumber = false;
    const double number = value.toDouble(&isNumber);
    if (!isNumber || number < 0 || (number == 0 && !mayBeZero) || number > kLargestSideMm)
        return ProfileError{key, 0,
                            QStringLiteral("needs millimetres, a number such as 2.5, "
                                           "%1 to %2")
                                .arg(mayBeZero ? QStringLiteral("0") : QStringLiteral("above 0"))
                                .arg(kLargestSideMm)};
    into = number;
    return std::nullopt;
}

std::optional<ProfileError> CheckPlaceholders(const QString& key, const QString& text) {
    const QStringList known = LabelPlaceholders();
    for (const auto& match : kPlaceholder.globalMatch(text)) {
        if (!known.contains(match.captured()))
            return ProfileError{key, 0,
                                QStringLiteral("unknown placeholder %1 (the placeholders are %2)")
                                    .arg(match.captured(), known.join(u' '))};
    }
    return std::nullopt;
}

std::optional<ProfileError> SetLabelSize(LabelTemplate& label, const QString& key,
                                         const QString& value) {
    if (key == QLatin1String("width"))
        return ReadMillimetres(key, value, false, label.widthMm);
    if (key == QLatin1String("height"))
        return ReadMillimetres(key, value, false, label.heightMm);
    return ProfileError{key, 0, QStringLiteral("unknown key (the keys are width height)")};
}

std::optional<ProfileError> SetCodeKey(LabelTemplate& label, const QString& key,
                                       const QString& value, int line) {
    if (key == QLatin1String("kind")) {
        const QStringList kinds = {QStringLiteral("qr"), QStringLiteral("datamatrix"),
                                   QStringLiteral("code128")};
        if (!kinds.contains(value))
            return ProfileError{key, 0, QStringLiteral("must be one of %1").arg(kinds.join(u' '))};
        label.kind = static_cast<CodeKind>(kinds.indexOf(value));
        return std::nullopt;
    }
    if (key == QLatin1String("text")) {
        label.codeText = value;
        label.codeTextLine = line;
        return CheckPlaceholders(key, value);
    }
    double number = 0;
    const bool edge = key == QLatin1String("left") || key == QLatin1String("top");
    if (edge || key == QLatin1String("width") || key == QLatin1String("height")) {
        if (auto error = ReadMillimetres(key, value, edge, number))
            return error;
        QRectF& box = label.codeBoxMm;
        if (key == QLatin1String("left"))
            box.moveLeft(number);
        else if (key == QLatin1String("top"))
            box.moveTop(number);
        else if (key == QLatin1String("width"))
            box.setWidth(number);
        else
            box.setHeight(number);
        if (key == QLatin1String("width"))
            label.codeWidthLine = line;
        else if (key == QLatin1String("height"))
            label.codeHeightLine = line;
        return std::nullopt;
    }
    return ProfileError{
        key, 0, QStringLiteral("unknown key (the keys are kind text left top width height)")};
}

LabelTextLine& TextLine(LabelTemplate& label, int index) {
    while (label.lines.size() < index)
        label.lines.append(LabelTextLine{});
    return label.lines[index - 1];
}

std::optional<ProfileError> SetTextKey(LabelTemplate& label, const QString& key,
                                       const QString& value, int line) {
    if (key == QLatin1String("left"))
        return ReadMillimetres(key, value, true, label.textLeftMm);
    if (key == QLatin1String("top"))
        return ReadMillimetres(key, value, true, label.textTopMm);
    const auto match = kLineKey.match(key);
    const int index = match.hasMatch() ? match.captured(2).toInt() : 0;
    if (index < 1 || index > kLabelLines)
        return ProfileError{key, 0,
                            QStringLiteral("unknown key (the keys are left top, and line1 to "
                                           "line%1 with the letters' height in size1 to size%1)")
                                .arg(kLabelLines)};
    LabelTextLine& text = TextLine(label, index);
    if (match.captured(1) == QLatin1String("size"))
        return ReadMillimetres(key, value, false, text.sizeMm);
    text.text = value;
    text.line = line;
    return CheckPlaceholders(key, value);
}

ProfileError Refused(const QHash<QString, int>& lines, const QString& where, const QString& rule) {
    return {where.section(u'/', 1), lines.value(where), rule};
}

} // namespace

QStringList LabelPlaceholders() {
    QStringList placeholders = {QStringLiteral("{name}"),     QStringLiteral("{unit}"),
                                QStringLiteral("{address}"),  QStringLiteral("{bench}"),
                                QStringLiteral("{firmware}"), QStringLiteral("{date}")};
    for (const QString& key : kModuleKeys) {
        if (key != QLatin1String("name") && key != QLatin1String("address"))
            placeholders << u'{' + key + u'}';
    }
    return placeholders;
}

std::optional<ProfileError> SetLabelKey(LabelTemplate& label, LabelSection section,
                                        const QString& key, const QString& value, int line) {
    switch (section) {
    case LabelSection::Label:
        return SetLabelSize(label, key, value);
    case LabelSection::Code:
        return SetCodeKey(label, key, value, line);
    case LabelSection::Text:
        return SetTextKey(label, key, value, line);
    }
    return std::nullopt;
}

std::optional<ProfileError> CheckLabelLayout(const LabelTemplate& label,
                                             const QHash<QString, int>& lines) {
    for (const QString& needed : {QStringLiteral("Label/width"), QStringLiteral("Label/height"),
                                  QStringLiteral("Code/kind"), QStringLiteral("Code/text"),
                                  QStringLiteral("Code/width"), QStringLiteral("Code/height")}) {
        if (!lines.contains(needed))
            return ProfileError{needed.section(u'/', 1), 0,
                                QStringLiteral("missing: a label gives it under [%1]")
                                    .arg(needed.section(u'/', 0, 0))};
    }
    const QRectF& box = label.codeBoxMm;
    if (box.right() > label.widthMm)
        return Refused(lines, QStringLiteral("Code/width"),
                       QStringLiteral("the code reaches %1 mm from the left, beyond the "
                                      "label's width of %2 mm")
                           .arg(box.right())
                           .arg(label.widthMm));
    if (box.bottom() > label.heightMm)
        return Refused(lines, QStringLiteral("Code/height"),
                       QStringLiteral("the code reaches %1 mm from the top, beyond the "
                                      "label's height of %2 mm")
                           .arg(box.bottom())
                           .arg(label.heightMm));
    if (!label.lines.isEmpty() && label.textLeftMm >= label.widthMm)
        return Refused(
            lines, QStringLiteral("Text/left"),
            QStringLiteral("the text starts beyond the label's width of %1 mm").arg(label.widthMm));
    double bottom = label.textTopMm;
    for (int index = 1; index <= label.lines.size(); ++index) {
        const LabelTextLine& text = label.lines[index - 1];
        const QString key = QStringLiteral("Text/line%1").arg(index);
        if (text.line == 0 && lines.contains(QStringLiteral("Text/size%1").arg(index)))
            return Refused(lines, QStringLiteral("Text/size%1").arg(index),
                           QStringLiteral("a size for a line%1 the file does not give").arg(index));
        if (text.line == 0)
            return Refused(lines, QStringLiteral("Text/line%1").arg(index + 1),
                           QStringLiteral("comes without line%1: the lines are numbered from 1 "
                                          "without a gap")
                               .arg(index));
        bottom += text.sizeMm * kLineSpacing;
        if (bottom > label.heightMm)
            return Refused(lines, key,
                           QStringLiteral("the line reaches %1 mm from the top, beyond the "
                                          "label's height of %2 mm")
                               .arg(bottom)
                               .arg(label.heightMm));
    }
    return std::nullopt;
}

} // namespace profile
