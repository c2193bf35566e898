// What labels cost: drawing one label into a PDF file, per code kind, and the time they add to
// a cordelo-cli write to many modules, whose labels are drawn beside the modules.
#pragma once

#include "module_profile/label_template.h"

#include <QString>

#include <chrono>
#include <vector>

namespace bench {

// One label of the default layout with a code of `kind`, written `runs` times as a PDF file;
// runs that failed are left out.
std::vector<std::chrono::duration<double, std::milli>> MeasureLabelRender(profile::CodeKind kind,
                                                                          int runs);

struct LabelCostRuns {
    std::vector<std::chrono::duration<double, std::milli>> without;
    std::vector<std::chrono::duration<double, std::milli>> with;
    // With labels again into the same folder, so that each label replaces the file of the run
    // before.
    std::vector<std::chrono::duration<double, std::milli>> replacing;
};

// cordelo-cli (in `directory`) writing to `modules` virtual modules without labels, with
// --label default --label-pdf into a new folder, and the same again: each three back to back,
// three with a failed run left out.
LabelCostRuns MeasureLabelCost(const QString& directory, int modules, int runs);

} // namespace bench
