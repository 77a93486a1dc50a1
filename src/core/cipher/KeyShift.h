#pragma once

#include <cstdint>

namespace voxilo {

// The character shift that a user's key code stands for. Key codes 1 to 25 map to the 25
// non-zero shifts from -5 to +20; any other key code, 0 included, means no shift.
std::int16_t keyShift(std::int16_t keyCode) noexcept;

}  // namespace voxilo
