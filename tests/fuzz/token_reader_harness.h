// Runs one input through the real reader and the reference model side by side.
//
// Input format: bytes are the line's text, except 0x00 which starts an escape:
// 0x00 0x00 is a literal NUL, 0x00 0x01 flushes the input, and 0x00 followed by
// anything else ends one read (the reader is called on what arrived so far).
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

namespace fuzz {

// Longer inputs could reach the reader's memory caps, which the model leaves out.
inline constexpr std::size_t kMaxInputBytes = 4000;

// Empty when reader and model agreed after every call, else what differed.
QString CompareWithModel(const std::uint8_t* data, std::size_t size);

} // namespace fuzz
