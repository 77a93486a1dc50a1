#pragma once

namespace voxilo {

// The picture a message box shows beside its text.
enum class MessageIcon { Critical, Exclamation, Question, Information };

}  // namespace voxilo
