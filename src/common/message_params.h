#pragma once
#include <cstdint>

namespace tavrolin {

// The 32-bit message parameter with `high` in the upper and `low` in the lower 16 bits.
std::int32_t MakeLong(std::int16_t low, std::int16_t high);

}  // namespace tavrolin
