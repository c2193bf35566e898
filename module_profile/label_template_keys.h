// How each key of a label template is taken, and the checks once the whole file is read; for
// the profile reader only.
#pragma once

#include "label_template.h"

#include <QHash>

#include <optional>

namespace profile {

enum class LabelSection { Label, Code, Text };

std::optional<ProfileError> SetLabelKey(LabelTemplate& label, LabelSection section,
                                        const QString& key, const QString& value, int line);
// What the file must give and whether its parts lie on the label, once every line is read.
std::optional<ProfileError> CheckLabelLayout(const LabelTemplate& label,
                                             const QHash<QString, int>& lines);

} // namespace profile
