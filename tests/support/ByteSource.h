#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "core/documents/DocumentConversion.h"
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

// The same bytes as a file read anywhere, from any thread; reads of the bytes from `failAt` on
// fail, and a read that reaches them stops short of them.
inline RandomAccessSource anywhere(std::string bytes, std::size_t failAt = std::string::npos) {
    return [bytes = std::move(bytes), failAt](char* buffer, std::size_t capacity,
                                              std::uint64_t offset) -> std::ptrdiff_t {
        if (offset >= failAt) return -1;
        if (offset >= bytes.size()) return 0;
        const std::size_t n =
            std::min<std::size_t>({capacity, bytes.size() - offset, failAt - offset});
        std::memcpy(buffer, bytes.data() + offset, n);
        return static_cast<std::ptrdiff_t>(n);
    };
}

}  // namespace voxilo::testing_support
