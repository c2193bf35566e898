// The summary as one self-contained HTML page that any browser opens and that can be mailed:
// its tables and a bar chart of the units per day and bench, drawn here as SVG, with no
// script, no style sheet or font from elsewhere, and every text from the record escaped.
#pragma once

#include "record_summary.h"

#include <QString>

namespace production_record {

// `about` names the record and the question asked of it, as the page's subtitle.
QString SummaryPage(const RecordSummary& summary, const QString& about);

} // namespace production_record
