#pragma once

#include <cstdint>
#include <vector>

namespace vellamark {

// A zero-based byte array; the cipher routines read inputs from index 0 and return new arrays.
using Bytes = std::vector<std::uint8_t>;

}  // namespace vellamark
