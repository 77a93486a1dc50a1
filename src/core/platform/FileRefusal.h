#pragma once

#include <string>
#include <system_error>

namespace voxilo {

// Why a file is refused when the system has no word for it.
enum class FileRefusal {
    // A pipe, a device, a socket: reading one could wait for ever, and writing one can neither
    // wait for a reader nor be replaced whole.
    NotARegularFile = 1,
};

class FileRefusalCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "voxilo.file"; }
    std::string message(int) const override { return "not a regular file"; }
};

inline std::error_code make_error_code(FileRefusal error) {
    static const FileRefusalCategory category;
    return {static_cast<int>(error), category};
}

}  // namespace voxilo

template <>
struct std::is_error_code_enum<voxilo::FileRefusal> : std::true_type {};
