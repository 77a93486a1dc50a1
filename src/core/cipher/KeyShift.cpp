#include "core/cipher/KeyShift.h"

#include <array>

namespace voxilo {
namespace {

// Ciphertext can only be read back with this very table: never reorder it.
constexpr std::array<std::int16_t, 25> kShifts = {7, -3, 15, 2,  -5, 11, 19, 4,  -1, 13, 8,  20, -4,
                                                  6, 17, 1,  10, -2, 14, 5,  18, 9,  3,  16, 12};

}  // namespace

std::int16_t keyShift(std::int16_t keyCode) noexcept {
    if (keyCode < 1 || keyCode > static_cast<std::int16_t>(kShifts.size())) return 0;
    return kShifts[static_cast<std::size_t>(keyCode - 1)];
}

}  // namespace voxilo
