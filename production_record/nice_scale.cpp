#include "nice_scale.h"

#include <cmath>

namespace production_record {

QList<double> NiceScale::ticks() const {
    QList<double> ticks;
    // Counted in steps, so that no tick drifts from adding a step that binary cannot hold.
    const auto steps = std::lround((high - low) / step);
    for (long index = 0; index <= steps; ++index)
        ticks << low + double(index) * step;
    return ticks;
}

NiceScale NiceScaleOf(double low, double high, int ticks, bool whole) {
    if (high <= low)
        high = low + 1;
    double power = std::pow(10.0, std::floor(std::log10((high - low) / ticks)));
    for (;; power *= 10) {
        for (const double factor : {1.0, 2.0, 5.0}) {
            const double step = factor * power;
            if (whole && step < 1)
                continue;
            const double from = std::floor(low / step + 1e-9) * step;
            const double to = std::ceil(high / step - 1e-9) * step;
            if ((to - from) / step <= ticks + 1e-9)
                return {from, to, step};
        }
    }
}

} // namespace production_record
