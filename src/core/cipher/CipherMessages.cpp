#include "core/cipher/CipherMessages.h"

#include <string>

namespace voxilo {

std::u16string_view cipherErrorText(CipherError error) noexcept {
    switch (error) {
        case CipherError::OddLength:
            return u"文字数が奇数のため、暗号文として読めません。";
        case CipherError::NotHexDigit:
            return u"暗号文にない文字が含まれています。暗号化キーかパターンが違うか、暗号文ではありません。";
        case CipherError::OddHalves:
            return u"前半と後半の文字数がそれぞれ奇数のため、暗号文として読めません。";
    }
    return u"";
}

std::u16string undecodableLineText(std::size_t line) {
    std::u16string text;
    for (char c : std::to_string(line)) text.push_back(static_cast<char16_t>(c));
    text.append(u"行目を解読できません。");
    return text;
}

}  // namespace voxilo
