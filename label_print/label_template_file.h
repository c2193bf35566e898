// The label template a job names: "default", the one installed with the programs, or a file;
// read, and checked against the longest values a unit can have, before any module is written.
#pragma once

#include "module_profile/label_template.h"

#include <QString>

#include <optional>
#include <variant>

namespace label_print {

// Where the default template is: installed beside the programs' own folder, in
// share/cordelo-setup/labels, on Debian and Windows alike (and so in the build tree).
QString DefaultTemplatePath();

// Why the template's code cannot hold what a unit of this bench may give it, or does not fit
// its box at the narrowest module a scanner reads, naming the template's line; or nothing.
std::optional<profile::ProfileError> CheckCodeFits(const profile::LabelTemplate& label,
                                                   const QString& bench);

// The template NAME_OR_PATH, or why it is refused: "PATH: line N: key: rule".
std::variant<profile::LabelTemplate, QString> LoadLabelTemplate(const QString& nameOrPath,
                                                                const QString& bench);

} // namespace label_print
