// What a production run tells its front end as it goes: the command line prints it, the
// station paints it. Called from the modules' threads, several at once.
#pragma once

#include "module_job.h"

namespace production_run {

class RunEvents {
public:
    virtual ~RunEvents() = default;

    // The module's job has begun on its port.
    virtual void moduleBegan(int module, const QString& port) = 0;
    // What the module's job is doing now, such as "writing 3 of 9".
    virtual void stepTaken(int module, const QString& step) = 0;
    // The record kept the module's row elsewhere, or lost it: what to tell.
    virtual void recordWarned(int module, const QString& port, const QString& warning) = 0;
    // The module is done and its row is in the record (or the outcome says why not).
    virtual void moduleFinished(int module, const ModuleOutcome& outcome) = 0;
    // The label of a module whose outcome had labelComing is printed, or could not be: the
    // outcome again, with its label. Called from the label thread, after moduleFinished.
    virtual void labelPrinted(int /*module*/, const ModuleOutcome& /*outcome*/) {}
};

} // namespace production_run
