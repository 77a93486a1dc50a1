#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "core/documents/DocumentFormat.h"

namespace voxilo::testing_support {

// A document source that hands out at most `piece` bytes a call, to move chunk boundaries
// around.
inline DocumentReader::Source trickle(std::string bytes, std::size_t piece = 1 << 20) {
    return [bytes = std::move(bytes), piece, pos = std::size_t{0}](
               char* buffer, std::size_t capacity) mutable -> std::ptrdiff_t {
        const std::size_t n = std::min({piece, capacity, bytes.size() - pos});
        std::memcpy(buffer, bytes.data() + pos, n);
        pos += n;
        return static_cast<std::ptrdiff_t>(n);
    };
}

}  // namespace voxilo::testing_support
