#include "core/store/ProgramSettings.h"

#include <cmath>

#include "core/platform/Codepage.h"
#include "core/store/StoredValues.h"

namespace voxilo {
namespace {

constexpr std::size_t kCurrentPathBuffer = 256;
constexpr std::size_t kFontNameBuffer = 33;

// The leading decimal digits of the retry-count box; 0 when there are none.
std::int16_t retryCountValue(std::u16string_view text) {
    int value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9' || value > 3276) break;
        value = value * 10 + (c - u'0');
    }
    return static_cast<std::int16_t>(std::min(value, 32767));
}

}  // namespace

Expected<ProgramSettings, StoreFailure> loadProgramSettings(ValueStore& store,
                                                            std::u16string_view keyPath,
                                                            std::u16string_view programFolder) {
    OpenKey key(store, keyPath);
    if (!key) return Unexpected{StoreFailure::SettingsUnavailable};
    ProgramSettings settings;
    settings.currentPath = key.textOr(u"CurrentPath", kCurrentPathBuffer, programFolder);
    if (settings.currentPath.empty() || settings.currentPath.back() != kFolderSeparator) {
        settings.currentPath.push_back(kFolderSeparator);
    }
    settings.startup = key.integerOr(u"Startup", 0);
    settings.retry = key.integerOr(u"Retry", 0);
    settings.showToolbar = key.integerOr(u"ShowToolbar", 1);
    settings.showStatusbar = key.integerOr(u"ShowStatusbar", 1);
    settings.fontName = key.textOr(u"FontName", kFontNameBuffer, kDefaultFontName);
    settings.fontSize = key.integerOr(u"FontSize", 11);
    settings.fontBold = key.integerOr(u"FontBold", 0) == -1;
    settings.fontItalic = key.integerOr(u"FontItalic", 0) == -1;
    return settings;
}

std::optional<StoreFailure> saveCurrentPath(ValueStore& store, std::u16string_view keyPath,
                                            std::u16string_view currentPath) {
    // A folder CP932 cannot name (a Linux home such as /home/zoë/) cannot be stored. The
    // folder is the program's own bookkeeping and the user could not act on a message, so the
    // stored value stays as it was.
    if (std::string bytes; cp932::encode(currentPath, bytes)) return std::nullopt;
    OpenKey key(store, keyPath);
    if (!key || !key.writeText(u"CurrentPath", currentPath)) return StoreFailure::SaveFailed;
    return std::nullopt;
}

StoreRead<std::int16_t> readSendToFlag(ValueStore& store, std::u16string_view keyPath) {
    OpenKey key(store, keyPath);
    if (!key) return {0, StoreFailure::ReadFailed};
    return {key.integerOr(u"SendTo", 0), std::nullopt};
}

bool writeSendToFlag(ValueStore& store, std::u16string_view keyPath) {
    OpenKey key(store, keyPath);
    return key && key.writeInteger(u"SendTo", -1);
}

bool fontNameStorable(std::u16string_view name) {
    std::string bytes;
    return !cp932::encode(name, bytes) && bytes.size() < kFontNameBuffer;
}

namespace {

// Every write of saveAllSettings, in order; false at the first that fails.
bool writeAllSettings(ValueStore& store, std::u16string_view keyPath,
                      const std::vector<EditedUser>& users, const OptionsValues& options,
                      std::u16string_view currentUser, std::vector<std::u16string>& names) {
    {
        OpenKey key(store, keyPath);
        if (!key || !key.writeInteger(u"Startup", options.startup)) return false;
        if (options.retryLimited == 1) {
            if (!key.writeInteger(u"Retry", retryCountValue(options.retryCount))) return false;
        } else {
            key.deleteValue(u"Retry");  // no value: no limit
        }
        if (!key.writeInteger(u"ShowToolbar", options.showToolbar) ||
            !key.writeInteger(u"ShowStatusbar", options.showStatusbar)) {
            return false;
        }
        // The font is one setting: a face whose name the store cannot hold keeps the stored
        // font whole, not its name with another face's size. The users after it are still saved.
        if (fontNameStorable(options.fontName)) {
            // Sizes go to the nearest whole point, halves to the even one: 10.5 is stored as 10.
            const auto fontSize = static_cast<std::int16_t>(std::nearbyint(options.fontSize));
            if (!key.writeText(u"FontName", options.fontName) ||
                !key.writeInteger(u"FontSize", fontSize) ||
                !key.writeInteger(u"FontBold", options.fontBold ? -1 : 0) ||
                !key.writeInteger(u"FontItalic", options.fontItalic ? -1 : 0)) {
                return false;
            }
        }
        // Read inside the batch: no other writer can change the list between this and the write.
        names = store_detail::mergedUserList(key, users);
        if (!store_detail::saveUserList(key, names, users.size())) return false;
    }
    return store_detail::saveUserKeys(store, keyPath, users, names, options.keyCodeText,
                                      options.patternIndex, currentUser);
}

}  // namespace

std::optional<StoreFailure> saveAllSettings(ValueStore& store, std::u16string_view keyPath,
                                            const std::vector<EditedUser>& users,
                                            const OptionsValues& options,
                                            std::u16string_view currentUser,
                                            std::vector<std::u16string>* savedNames) {
    // One batch: a crash in the middle leaves the store as it was before the save. A batch
    // that cannot begin or be kept is a failed save like any failed write.
    if (!store.beginBatch()) return StoreFailure::SaveFailed;
    std::vector<std::u16string> names;
    const bool written = writeAllSettings(store, keyPath, users, options, currentUser, names);
    const bool kept = store.endBatch();
    if (!written || !kept) return StoreFailure::SaveFailed;
    if (savedNames != nullptr) *savedNames = std::move(names);
    if (!fontNameStorable(options.fontName)) return StoreFailure::FontNotSaved;
    return std::nullopt;
}

}  // namespace voxilo
