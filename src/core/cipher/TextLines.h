#pragma once

#include <cstddef>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace voxilo {

// Walks the lines of a text as the panes hold it: a line ends at CR, an LF right after that CR
// belongs to the break (an LF anywhere else is part of its line), and whatever follows the
// last CR is the last line, even when it is empty. So "" is one empty line and "a\r\n" is
// "a" followed by an empty line.
class TextLines {
public:
    explicit TextLines(std::u16string_view text) noexcept : text_(text) {}

    bool next(std::u16string_view& line) noexcept {
        if (done_) return false;
        const std::size_t cr = findCr();
        if (cr == std::u16string_view::npos) {
            line = text_.substr(pos_);
            done_ = true;
            return true;
        }
        line = text_.substr(pos_, cr - pos_);
        pos_ = cr + 1;
        if (pos_ < text_.size() && text_[pos_] == u'\n') ++pos_;
        return true;
    }

private:
    // The next CR at or after pos_, or npos; eight units at a time where it can.
    std::size_t findCr() const noexcept {
        std::size_t pos = pos_;
#if defined(__SSE2__)
        const __m128i cr = _mm_set1_epi16(0x0D);
        for (; pos + 8 <= text_.size(); pos += 8) {
            const __m128i units =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(text_.data() + pos));
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(units, cr)) != 0) break;
        }
#endif
        return text_.find(u'\r', pos);
    }

    std::u16string_view text_;
    std::size_t pos_ = 0;
    bool done_ = false;
};

}  // namespace voxilo
