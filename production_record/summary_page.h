// The summary as one self-contained HTML page that any browser opens, prints on A4 and can be
// mailed: yields per day with a line per bench, the line's units per day, the failure reasons
// over the period and the values rows left, drawn here as SVG, then the tables; with no
// script, no style sheet or font from elsewhere, and every text from the record escaped.
#pragma once

#include "record_summary.h"

#include <QString>

namespace production_record {

// `about` names the record and the question asked of it, as the page's subtitle.
QString SummaryPage(const RecordSummary& summary, const QString& about);

} // namespace production_record
