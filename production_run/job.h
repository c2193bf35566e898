// What a production run is asked to do, as `cordelo-cli` and the station both take it.
#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

namespace production_run {

enum class Verb { Ports, Read, Write, Reset, Record, Label };

struct Job {
    Verb verb = Verb::Ports;
    // Each port in the order given; with `all`, every port the machine lists.
    QStringList ports;
    bool all = false;
    // {n} of the first module in COM-number order.
    int first = 1;
    QString logPath;
    QString profilePath;
    // Each --set as given, KEY=VALUE.
    QStringList sets;
    bool verify = true;
    QString tracePath;
    // Where the production record is; empty for none.
    QString recordTarget;
    // The bench as the record names it; the host name unless one is given.
    QString bench;
    QString valuesPath;
    // How long the record may keep the run waiting (another session's lock, a server
    // restarting) before the run gives up on it.
    std::chrono::seconds recordTimeout{20};
    // The label template ("default" or a file) for a label per unit that passes a write, and
    // the folder its PDF goes to; empty for no labels.
    QString labelTemplate;
    QString labelPdfFolder;
    // A printer of the system, instead of the folder.
    QString labelPrinter;
};

} // namespace production_run
