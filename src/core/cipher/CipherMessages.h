#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/cipher/TextCipher.h"

namespace voxilo {

// What is wrong with a text that cannot be deciphered, as the user reads it.
std::u16string_view cipherErrorText(CipherError error) noexcept;

// The headline naming the line that could not be deciphered, e.g. "3行目を解読できません。".
std::u16string undecodableLineText(std::size_t line);

}  // namespace voxilo
