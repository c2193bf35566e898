#include "label_template_file.h"

#include "label_code.h"
#include "label_layout.h"
#include "label_values.h"

#include <QCoreApplication>
#include <QDir>

namespace label_print {

QString DefaultTemplatePath() {
    return QDir(QCoreApplication::applicationDirPath())
        .absoluteFilePath(QStringLiteral("../share/cordelo-setup/labels/default.label"));
}

std::optional<profile::ProfileError> CheckCodeFits(const profile::LabelTemplate& label,
                                                   const QString& bench) {
    const QString text = FillLabelText(label.codeText, LongestValues(bench));
    const auto encoded = EncodeCode(label.kind, text);
    if (const auto* refusal = std::get_if<QString>(&encoded))
        return profile::ProfileError{QStringLiteral("text"), label.codeTextLine, *refusal};
    const auto& code = std::get<CodeModules>(encoded);
    const double needed = SmallestCodeWidthMm(code);
    const QSizeF box = label.codeBoxMm.size();
    const double across = code.isLinear() ? box.width() : std::min(box.width(), box.height());
    if (across < needed) {
        const bool byWidth = code.isLinear() || box.width() <= box.height();
        return profile::ProfileError{
            byWidth ? QStringLiteral("width") : QStringLiteral("height"),
            byWidth ? label.codeWidthLine : label.codeHeightLine,
            QStringLiteral("the %1 of the longest text a unit can give needs %2 modules with its "
                           "margin, %3 mm at %4 mm a module; the box has %5 mm")
                .arg(CodeKindName(label.kind))
                .arg(code.columnsWithQuietZone())
                .arg(needed, 0, 'f', 1)
                .arg(SmallestModuleMm(label.kind))
                .arg(across)};
    }
    return std::nullopt;
}

std::variant<profile::LabelTemplate, QString> LoadLabelTemplate(const QString& nameOrPath,
                                                                const QString& bench) {
    const QString path =
        nameOrPath == QLatin1String("default") ? DefaultTemplatePath() : nameOrPath;
    const auto text = profile::ReadUtf8File(
        path, profile::kLargestLabelTemplate,
        QStringLiteral("It is too large to be a label template (more than 16 KiB)."));
    if (const auto* error = std::get_if<profile::ProfileError>(&text))
        return path + QStringLiteral(": ") + profile::DescribeProfileError(*error);
    auto parsed = profile::ParseLabelText(std::get<QString>(text));
    if (const auto* error = std::get_if<profile::ProfileError>(&parsed))
        return path + QStringLiteral(": ") + profile::DescribeProfileError(*error);
    const auto& label = std::get<profile::LabelTemplate>(parsed);
    if (const auto error = CheckCodeFits(label, bench))
        return path + QStringLiteral(": ") + profile::DescribeProfileError(*error);
    return label;
}

} // namespace label_print
