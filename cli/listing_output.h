// How `cordelo-cli record` prints the rows of a listing as the record hands them over: one JSON
// object or CSV line per row at once, and columns for people whose widths the first rows set.
#pragma once

#include "production_record/record_row.h"

#include <QDateTime>
#include <QList>
#include <QStringList>
#include <QTextStream>

namespace cli {

// Local time with its offset from UTC, so that a time read off the screen is unambiguous.
QString LocalTime(const QDateTime& time);

class ListingOutput {
public:
    enum class Form { People, Json, Csv };

    ListingOutput(QTextStream& out, Form form);
    // Prints the row (for people, once the first rows have set the widths); always true, as
    // the listing's sink.
    bool add(const production_record::RecordRow& row);
    // Prints what is held back; the listing is complete.
    void finish();

private:
    void printLine(const QStringList& line);
    void printHeldLines();

    QTextStream& m_out;
    Form m_form;
    int m_rows = 0;
    // For people: the lines held until the first rows are in, and each column's width.
    QList<QStringList> m_held;
    QList<qsizetype> m_widths;
};

} // namespace cli
