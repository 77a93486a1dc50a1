#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// What the command line needs from the system it runs on: its arguments and file names in
// UTF-8, messages the console can show, standard streams that pass CR LF untouched, and a
// password typed without echo. Everything else in voxilo-cli is the same on every system.
namespace voxilo::cli {

// Standard input and output carry documents byte for byte.
void prepareStandardStreams();

// The program's arguments, without its own name, in UTF-8.
std::vector<std::string> programArguments(int argc, char** argv);

// Writes UTF-8 text to standard output or standard error, in the form whatever is behind the
// stream shows: the console's own characters, or the system's code page in a redirected file.
void writeText(std::FILE* stream, std::string_view utf8);

// Writes bytes to an open stream: a large write goes straight to what is behind it, after
// whatever the stream holds, in as few system calls as it takes; a small one through the
// stream's buffer.
std::error_code writeBytes(std::FILE* stream, std::string_view bytes);

// Opens a file named in UTF-8 for reading bytes; nullptr with errno set when it cannot.
std::FILE* openForReading(const std::string& utf8Path);

// Reads the file of an open stream anywhere, from any thread, when it is a file on disk: up to
// `capacity` bytes from `offset` on; how many, 0 at the end, -1 on error with the error's errno
// value in `error`. Nothing for a terminal, a pipe or a device, which are read in order.
using ReadAt = std::function<std::ptrdiff_t(char* buffer, std::size_t capacity,
                                            std::uint64_t offset)>;
std::optional<ReadAt> readAnywhere(std::FILE* stream, std::atomic<int>& error);

// Which regular file an open stream, or a file named in UTF-8 (its links followed), is: two
// identities are equal when both are one file, by whatever name, link or redirection they were
// reached. Nothing for a terminal, a pipe, a device or a name that names no file.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> identityOf(std::FILE* stream);
std::optional<FileIdentity> identityOf(const std::string& utf8Path);

// The system's own words for an error, in UTF-8.
std::string systemMessage(std::error_code error);

// Asks at the terminal (the console on Windows) with the prompt and reads one line without
// showing it, up to its LF (a CR before it stays). Nothing when there is no terminal to ask at.
std::optional<std::string> readHiddenLine(std::string_view prompt);

}  // namespace voxilo::cli
