#pragma once

#include <cstddef>
#include <string_view>

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
        const std::size_t cr = text_.find(u'\r', pos_);
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
    std::u16string_view text_;
    std::size_t pos_ = 0;
    bool done_ = false;
};

}  // namespace voxilo
