// The own device addresses of a run of simulated modules: each one counted on from the
// first, so that every module of the run is a unit of its own.
#pragma once

#include <optional>
#include <string>

namespace virtual_module {

// The address `offset` places after `first`, read as one number of twelve hex digits and
// written with the blanks where `first` has them ("0012 6f 3a 00ff" and 1 give
// "0012 6f 3a 0100"). Nothing when `first` does not hold twelve hex digits or the count
// would pass ffff ff ff ffff.
std::optional<std::string> AddressAfter(const std::string& first, unsigned offset);

} // namespace virtual_module
