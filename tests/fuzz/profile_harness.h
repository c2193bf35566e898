// Runs one input through the profile reader and writer and checks that they agree.
//
// The bytes are read twice: as a profile file, which must be read without fault and, when
// it is taken, written back to a file that reads as the same profile; and as the values of
// a profile, separated by 0x00 in file order ([Module] keys, then the [Device] address and
// firmware), of which those the rules take are written and must read back unchanged.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

namespace fuzz {

// Empty when every property held, else what differed.
QString CheckProfileRoundTrip(const std::uint8_t* data, std::size_t size);

} // namespace fuzz
