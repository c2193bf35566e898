#include "label_values_from_record.h"

#include "production_record/unit_history.h"

namespace production_run {

label_print::LabelValues LabelValuesFromRow(const production_record::RecordRow& passingWrite) {
    label_print::LabelValues values;
    values.unit = passingWrite.unit;
    values.address = passingWrite.deviceAddress;
    values.bench = passingWrite.bench;
    values.firmware = passingWrite.firmware;
    values.date = passingWrite.time.toLocalTime().date();
    const production_record::SettingsText settings = production_record::SettingsAfter(passingWrite);
    for (auto entry = settings.cbegin(); entry != settings.cend(); ++entry) {
        // A key this release does not know (from a later one) has no placeholder to fill.
        if (profile::kModuleKeys.contains(entry.key()))
            profile::SetModuleKey(values.settings, entry.key(), entry.value());
    }
    return values;
}

} // namespace production_run
