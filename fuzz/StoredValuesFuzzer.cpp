// Reading a store whose values hold any bytes, as a hand edit or another program may leave
// them: every read gives a value or its default, without a crash or undefined behaviour.

#include <array>

#include "FuzzInput.h"
#include "core/store/ProgramSettings.h"
#include "core/store/UserRecords.h"
#include "support/MemoryValueStore.h"

namespace {

using namespace voxilo;

constexpr std::array<std::u16string_view, 14> kSettingsValues = {
    u"CurrentPath", u"Startup",  u"Retry",    u"ShowToolbar", u"ShowStatusbar",
    u"FontName",    u"FontSize", u"FontBold", u"FontItalic",  u"UserCount",
    u"User1",       u"User2",    u"User3",    u"SendTo"};
constexpr std::array<std::u16string_view, 3> kUserValues = {u"Password", u"KeyCode", u"Pattern"};

}  // namespace

// The input is a list of values: a byte choosing the value (and for a user value, which of
// the first three users it belongs to), a byte of length, then that many bytes of data.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    testing_support::MemoryValueStore store;
    const std::u16string settingsKey(kSettingsKeyPath);
    std::array<std::vector<std::pair<std::u16string_view, std::string>>, 3> userValues;
    for (std::size_t i = 0; i + 2 <= size;) {
        const unsigned which = data[i] % (kSettingsValues.size() + 3 * kUserValues.size());
        const std::size_t length = std::min<std::size_t>(data[i + 1], size - i - 2);
        std::string bytes(reinterpret_cast<const char*>(data + i + 2), length);
        i += 2 + length;
        if (which < kSettingsValues.size()) {
            store.putRaw(settingsKey, kSettingsValues[which], std::move(bytes));
        } else {
            const unsigned u = which - static_cast<unsigned>(kSettingsValues.size());
            userValues[u / kUserValues.size()].emplace_back(kUserValues[u % kUserValues.size()],
                                                            std::move(bytes));
        }
    }

    const auto names = loadUserNames(store, settingsKey);
    if (!names || names->empty() || !(*names)[0].empty()) fuzzing::fail("the user list");
    // User values go under the key of the user of that place in the list, as stored.
    for (std::size_t u = 0; u < userValues.size() && u + 1 < names->size(); ++u) {
        for (auto& [name, bytes] : userValues[u])
            store.putRaw(userKeyPath(settingsKey, (*names)[u + 1]), name, std::move(bytes));
    }

    const auto settings = loadProgramSettings(store, settingsKey, u"/opt/voxilo/");
    if (!settings) fuzzing::fail("the settings of a store that opens");
    if (settings->currentPath.empty() || settings->currentPath.back() != kFolderSeparator)
        fuzzing::fail("the current folder ends in the separator");
    (void)readSendToFlag(store, settingsKey);
    for (std::size_t u = 1; u < names->size() && u <= 4; ++u) {
        const auto password = readPassword(store, settingsKey, (*names)[u]);
        if (password.failure || password.value.size() > 8)
            fuzzing::fail("a password is at most 8 units");
        if (readKeyCode(store, settingsKey, (*names)[u]).failure ||
            readPattern(store, settingsKey, (*names)[u]).failure)
            fuzzing::fail("a user's key opens");
    }
    return 0;
}
