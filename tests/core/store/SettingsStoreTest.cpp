// The settings and user operations, run against every store backend of the platform.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>

#include "core/cipher/TextCipher.h"
#include "core/platform/Codepage.h"
#include "core/platform/Utf8.h"
#include "core/store/ProgramSettings.h"
#include "core/store/UserRecords.h"
#ifdef _WIN32
#include <windows.h>

#include "core/store/RegistryValueStore.h"
#else
#include "core/store/SqliteValueStore.h"
#endif
#include "support/FaultInjectingStore.h"
#include "support/TempDir.h"

namespace voxilo {
namespace {

using testing_support::FaultInjectingStore;

// A store to test, and the settings key to use in it.
struct StoreUnderTest {
    std::unique_ptr<ValueStore> store;
    std::u16string keyPath;
};

struct Backend {
    const char* name;
    // A fresh store: its files, if it has any, go into `folder`.
    std::function<StoreUnderTest(const std::filesystem::path& folder)> make;
};

#ifdef _WIN32
const Backend kBackends[] = {
    {"Registry",
     [](const std::filesystem::path& folder) {
         // The registry is shared by every run: each store gets a settings key of its own.
         static std::mt19937 random{std::random_device{}()};
         const std::string unique = folder.filename().string() + "-" + std::to_string(random());
         return StoreUnderTest{
             std::make_unique<RegistryValueStore>(),
             u"Software\\Quorvel Software\\VoxiloTests\\" + fromUtf8(unique) + u"\\Settings"};
     }},
};
#else
const Backend kBackends[] = {
    {"Sqlite",
     [](const std::filesystem::path& folder) {
         return StoreUnderTest{
             std::make_unique<SqliteValueStore>(folder / "config/voxilo/settings.db"),
             std::u16string(kSettingsKeyPath)};
     }},
};
#endif

class SettingsStore : public testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        StoreUnderTest made = GetParam().make(dir_.path());
        store_ = std::move(made.store);
        kSettings = made.keyPath;
    }

    // Stores raw CP932 bytes as a text value.
    void putText(std::u16string_view path, std::u16string_view name, const std::string& bytes) {
        auto key = store_->openKey(path);
        ASSERT_TRUE(key);
        ASSERT_TRUE(store_->writeText(*key, name, bytes));
        store_->closeKey(*key);
    }
    void putInteger(std::u16string_view path, std::u16string_view name, std::int16_t value) {
        auto key = store_->openKey(path);
        ASSERT_TRUE(key);
        ASSERT_TRUE(store_->writeInteger(*key, name, value));
        store_->closeKey(*key);
    }
    std::optional<std::string> text(std::u16string_view path, std::u16string_view name) {
        auto key = store_->openKey(path);
        return store_->readText(*key, name, 1000);
    }
    std::optional<std::int16_t> integer(std::u16string_view path, std::u16string_view name) {
        auto key = store_->openKey(path);
        return store_->readInteger(*key, name);
    }

    ProgramSettings load() { return *loadProgramSettings(*store_, kSettings, u"/opt/vx"); }

    testing_support::TempDir dir_;
    std::unique_ptr<ValueStore> store_;
    std::u16string kSettings;  // the settings key of this store
    const std::u16string sep{kFolderSeparator};
};

TEST_P(SettingsStore, FirstRunTakesEveryDefault) {
    const auto names = loadUserNames(*store_, kSettings);
    ASSERT_TRUE(names);
    EXPECT_EQ(*names, std::vector<std::u16string>{u""});

    const ProgramSettings s = load();
    EXPECT_EQ(s.currentPath, u"/opt/vx" + sep);
    EXPECT_EQ(s.startup, 0);
    EXPECT_EQ(s.retry, 0);
    EXPECT_EQ(s.showToolbar, 1);
    EXPECT_EQ(s.showStatusbar, 1);
    EXPECT_EQ(s.fontName, u"ＭＳ ゴシック");
    EXPECT_EQ(s.fontSize, 11);
    EXPECT_FALSE(s.fontBold);
    EXPECT_FALSE(s.fontItalic);
    EXPECT_EQ(readSendToFlag(*store_, kSettings).value, 0);
}

TEST_P(SettingsStore, TextValuesFollowTheirBuffers) {
    struct Case {
        std::string storedPath;
        std::u16string loaded;
    };
    const std::vector<Case> cases = {
        {"/home/docs", u"/home/docs" + sep},
        {toUtf8(u"/home/docs" + sep), u"/home/docs" + sep},
        {"", sep},
        {std::string(255, 'a'), std::u16string(255, u'a') + sep},  // 255 bytes and a NUL fit
        {std::string(256, 'a'), u"/opt/vx" + sep},                 // 256 do not
    };
    for (const Case& c : cases) {
        putText(kSettings, u"CurrentPath", c.storedPath);
        EXPECT_EQ(load().currentPath, c.loaded) << c.storedPath.size();
    }
    putText(kSettings, u"FontName", std::string(32, 'f'));
    EXPECT_EQ(load().fontName, std::u16string(32, u'f'));
    putText(kSettings, u"FontName", std::string(33, 'f'));
    EXPECT_EQ(load().fontName, u"ＭＳ ゴシック");

    // The type is not checked: three bytes ("ab" and its NUL) are too many for an integer,
    // two ("a" and its NUL) make one.
    putText(kSettings, u"FontSize", "ab");
    EXPECT_EQ(load().fontSize, 11);
    putText(kSettings, u"FontSize", "a");
    EXPECT_EQ(load().fontSize, 0x61);
}

TEST_P(SettingsStore, SavesTheOptionsDialog) {
    OptionsValues options;
    options.startup = 1;
    options.retryLimited = 1;
    options.retryCount = u"3";
    options.showToolbar = 0;
    options.fontName = u"IPAゴシック";
    options.fontSize = 10.5;
    options.fontBold = true;
    ASSERT_FALSE(saveAllSettings(*store_, kSettings, {}, options, u""));
    ProgramSettings s = load();
    EXPECT_EQ(s.startup, 1);
    EXPECT_EQ(s.retry, 3);
    EXPECT_EQ(s.showToolbar, 0);
    EXPECT_EQ(s.showStatusbar, 1);
    EXPECT_EQ(s.fontName, u"IPAゴシック");
    EXPECT_EQ(s.fontSize, 10);  // halves go to the even neighbour
    EXPECT_TRUE(s.fontBold);
    EXPECT_FALSE(s.fontItalic);

    options.retryLimited = 0;  // unticked: the value goes, and no limit reads back
    options.fontSize = 11.5;
    ASSERT_FALSE(saveAllSettings(*store_, kSettings, {}, options, u""));
    EXPECT_FALSE(integer(kSettings, u"Retry"));
    s = load();
    EXPECT_EQ(s.retry, 0);
    EXPECT_EQ(s.fontSize, 12);

    ASSERT_FALSE(saveCurrentPath(*store_, kSettings, u"/srv/texts" + sep));
    EXPECT_EQ(load().currentPath, u"/srv/texts" + sep);
    EXPECT_TRUE(writeSendToFlag(*store_, kSettings));
    EXPECT_EQ(readSendToFlag(*store_, kSettings).value, -1);
}

TEST_P(SettingsStore, KeepsTheUserListInOrder) {
    OptionsValues options;
    options.keyCodeText = u"17";
    options.patternIndex = 2;
    std::vector<EditedUser> users = {
        {u"Alice", u"a", false}, {u"Bob", u"b", false}, {u"Carol123", u"Pass1234", false}};
    ASSERT_FALSE(saveAllSettings(*store_, kSettings, users, options, u"Carol123"));
    EXPECT_EQ(*loadUserNames(*store_, kSettings),
              (std::vector<std::u16string>{u"", u"Alice", u"Bob", u"Carol123"}));
    // Eight characters of name and of password come back unchanged; the password is stored
    // as 32 characters of ciphertext.
    EXPECT_EQ(readPassword(*store_, kSettings, u"Carol123").value, u"Pass1234");
    EXPECT_EQ(text(userKeyPath(kSettings, u"Carol123"), u"Password")->size(), 32u);
    // Only the current user gets a key code and pattern; the others read the defaults.
    EXPECT_EQ(readKeyCode(*store_, kSettings, u"Carol123").value, 17);
    EXPECT_EQ(readPattern(*store_, kSettings, u"Carol123").value, 2);
    EXPECT_EQ(readKeyCode(*store_, kSettings, u"Alice").value, 1);
    EXPECT_EQ(readPattern(*store_, kSettings, u"Alice").value, 0);
    // Nothing chosen in the dialog: the current user's stored values stay.
    OptionsValues unchosen = options;
    unchosen.keyCodeText.clear();
    unchosen.patternIndex = -1;
    ASSERT_FALSE(saveAllSettings(*store_, kSettings, users, unchosen, u"Carol123"));
    EXPECT_EQ(readKeyCode(*store_, kSettings, u"Carol123").value, 17);
    EXPECT_EQ(readPattern(*store_, kSettings, u"Carol123").value, 2);

    // Bob goes: Carol moves up, and User3 and Bob's key are gone.
    users[1].deleted = true;
    ASSERT_FALSE(saveAllSettings(*store_, kSettings, users, options, u""));
    EXPECT_EQ(*loadUserNames(*store_, kSettings),
              (std::vector<std::u16string>{u"", u"Alice", u"Carol123"}));
    EXPECT_FALSE(text(kSettings, u"User3"));
    EXPECT_FALSE(text(userKeyPath(kSettings, u"Bob"), u"Password"));

    // A user deleted and added again under the same name in one save keeps the new password.
    users = {{u"Alice", u"a", true}, {u"Carol123", u"Pass1234", false}, {u"Alice", u"new", false}};
    ASSERT_FALSE(saveAllSettings(*store_, kSettings, users, options, u""));
    EXPECT_EQ(readPassword(*store_, kSettings, u"Alice").value, u"new");
    EXPECT_EQ(*loadUserNames(*store_, kSettings),
              (std::vector<std::u16string>{u"", u"Carol123", u"Alice"}));
}

TEST_P(SettingsStore, StoredNumbersReadAsTheirDecimalValue) {
    const std::u16string dave = userKeyPath(kSettings, u"Dave");
    const auto enciphered = [](std::u16string_view plain) {
        std::string bytes;
        (void)cp932::encode(*encodeText(plain, kStoreKey, CipherMode::Hex), bytes);
        return bytes;
    };
    // Numbers outside the dialog's choices are taken as they stand (key code 0 or 26 shifts
    // nothing, pattern 4 copies lines), as a store written elsewhere would give them; only text
    // that is no 16-bit decimal integer reads as missing.
    const std::pair<std::u16string, std::int16_t> keyCodes[] = {
        {u"7", 7}, {u"0", 0}, {u"26", 26}, {u"-3", -3}, {u"x", 1}, {u"1a", 1}, {u"-", 1}};
    for (const auto& [stored, expected] : keyCodes) {
        putText(dave, u"KeyCode", enciphered(stored));
        EXPECT_EQ(readKeyCode(*store_, kSettings, u"Dave").value, expected) << toUtf8(stored);
    }
    putText(dave, u"Pattern", enciphered(u"4"));
    EXPECT_EQ(readPattern(*store_, kSettings, u"Dave").value, 4);
    putText(dave, u"Pattern", enciphered(u"3 "));
    EXPECT_EQ(readPattern(*store_, kSettings, u"Dave").value, 3);  // deciphering drops the blank
    putText(dave, u"Pattern", enciphered(u"p"));
    EXPECT_EQ(readPattern(*store_, kSettings, u"Dave").value, 0);
    putText(dave, u"Password", " ");  // a single blank reads as nothing
    EXPECT_EQ(readPassword(*store_, kSettings, u"Dave").value, u"");
    putInteger(kSettings, u"UserCount", -2);
    EXPECT_EQ(loadUserNames(*store_, kSettings)->size(), 1u);
}

// Stored passwords must stay readable by every later version: the bytes of one, worked out by
// hand. "ab" is 61 00 62 00, hex "61006200"; backwards "00260016"; each digit raised by the
// store key 23 ('0'->'G', '1'->'H', '2'->'I', '6'->'M') gives "GGIMGGHM"; the interleave swaps
// the characters at even places end for end: "GMIGGMHG".
TEST_P(SettingsStore, StoredPasswordBytesNeverChange) {
    OptionsValues options;
    const std::vector<EditedUser> users = {{u"Eve", u"ab", false}};
    ASSERT_FALSE(saveAllSettings(*store_, kSettings, users, options, u""));
    EXPECT_EQ(text(userKeyPath(kSettings, u"Eve"), u"Password"), "GMIGGMHG");
    putText(userKeyPath(kSettings, u"Eve"), u"Password", "GMIGGMHG");
    EXPECT_EQ(readPassword(*store_, kSettings, u"Eve").value, u"ab");
}

// A folder CP932 cannot name is not stored and not reported: the stored one stays. The wave
// dash CP932 holds (0x8160, U+FF5E as Windows reads it) is stored without a failure and reads
// back as the same folder; U+301C, which only a best fit would turn into that code, would read
// back as another folder, so it is a character CP932 cannot name.
TEST_P(SettingsStore, FoldersCp932CannotHoldAreNotStored) {
    ASSERT_FALSE(saveCurrentPath(*store_, kSettings, u"/home/zoe/"));
    EXPECT_FALSE(saveCurrentPath(*store_, kSettings, u"/home/zoë/"));
    EXPECT_FALSE(saveCurrentPath(*store_, kSettings, u"/home/taro/\u301Cmemo/"));
    EXPECT_EQ(text(kSettings, u"CurrentPath"), "/home/zoe/");
    const std::u16string wave = u"/home/taro/\uFF5Ememo" + sep;
    EXPECT_EQ(saveCurrentPath(*store_, kSettings, wave), std::nullopt);
    EXPECT_EQ(text(kSettings, u"CurrentPath"), "/home/taro/\x81\x60memo" + toUtf8(sep));
    EXPECT_EQ(load().currentPath, wave);
}

// A font the store cannot hold (a letter CP932 lacks, a name over 32 bytes) keeps the stored
// font whole, name, size, bold and italic; the rest of the save goes on, so no account is lost
// for a font, and the result says so.
TEST_P(SettingsStore, AFontTheStoreCannotHoldIsNotStored) {
    OptionsValues options;
    options.fontName = u"Noto Sans";
    options.fontSize = 12;
    ASSERT_FALSE(saveAllSettings(*store_, kSettings, {}, options, u""));
    const ProgramSettings before = load();
    EXPECT_TRUE(fontNameStorable(std::u16string(16, u'Ａ')));  // 32 bytes, the most
    EXPECT_TRUE(fontNameStorable(std::u16string(32, u'A')));
    for (const std::u16string& name :
         {std::u16string(u"Zoë Sans"), std::u16string(33, u'A'), std::u16string(17, u'Ａ')}) {
        EXPECT_FALSE(fontNameStorable(name));
        OptionsValues font = options;
        font.fontName = name;
        font.fontSize = 14;
        font.fontBold = true;
        font.fontItalic = true;
        font.showToolbar = 0;
        std::vector<std::u16string> saved;
        EXPECT_EQ(
            saveAllSettings(*store_, kSettings, {{u"taro", u"pass1", false}}, font, u"", &saved),
            StoreFailure::FontNotSaved);
        EXPECT_EQ(saved, (std::vector<std::u16string>{u"", u"taro"}));
        ProgramSettings expected = before;
        expected.showToolbar = 0;
        const ProgramSettings now = load();
        EXPECT_EQ(now.currentPath, expected.currentPath);
        EXPECT_EQ(now.startup, expected.startup);
        EXPECT_EQ(now.retry, expected.retry);
        EXPECT_EQ(now.showToolbar, expected.showToolbar);
        EXPECT_EQ(now.showStatusbar, expected.showStatusbar);
        EXPECT_EQ(now.fontName, u"Noto Sans");
        EXPECT_EQ(now.fontSize, 12);
        EXPECT_FALSE(now.fontBold);
        EXPECT_FALSE(now.fontItalic);
        EXPECT_EQ(*loadUserNames(*store_, kSettings), (std::vector<std::u16string>{u"", u"taro"}));
        EXPECT_EQ(readPassword(*store_, kSettings, u"taro").value, u"pass1");
    }
    const StoreMessage told = storeMessage(StoreFailure::FontNotSaved);
    EXPECT_EQ(told.text,
              u"選択したフォントは名前を保存できないため、フォントの設定は変更されませんでした。"
              u"\r\nほかの設定は保存されました。");
    EXPECT_EQ(told.icon, MessageIcon::Exclamation);
    EXPECT_FALSE(told.programEnds);
}

// Two copies of the program on one store: a save from the older one's list keeps a user the
// other registered since, drops only the users it deleted itself, leaves the passwords it did
// not change as they are stored, and does not bring back a user the other deleted.
TEST_P(SettingsStore, ASaveMergesWithTheListTheStoreHolds) {
    OptionsValues options;
    options.keyCodeText = u"5";
    options.patternIndex = 2;
    ASSERT_FALSE(
        saveAllSettings(*store_, kSettings,
                        {{u"Ann", u"pw1", false}, {u"Ben", u"pw2", false}, {u"Cy", u"pw3", false}},
                        options, u"Ann"));
    // The other copy: Dee registered, Cy deleted, Ben's password changed.
    ASSERT_FALSE(saveAllSettings(*store_, kSettings,
                                 {{u"Ann", u"", false, true},
                                  {u"Ben", u"new2", false},
                                  {u"Cy", u"", true, true},
                                  {u"Dee", u"pw4", false}},
                                 OptionsValues{}, u""));
    // This copy, from the list it read first: Ben deleted, Eve registered; Ann and Cy carried.
    OptionsValues unchanged;
    unchanged.keyCodeText.clear();
    unchanged.patternIndex = -1;
    std::vector<std::u16string> saved;
    ASSERT_FALSE(saveAllSettings(*store_, kSettings,
                                 {{u"Ann", u"", false, true},
                                  {u"Ben", u"", true, true},
                                  {u"Cy", u"", false, true},
                                  {u"Eve", u"pw5", false}},
                                 unchanged, u"Ann", &saved));
    const std::vector<std::u16string> expected = {u"", u"Ann", u"Eve", u"Dee"};
    EXPECT_EQ(saved, expected);
    EXPECT_EQ(*loadUserNames(*store_, kSettings), expected);
    EXPECT_EQ(integer(kSettings, u"UserCount"), 3);
    EXPECT_FALSE(text(kSettings, u"User4"));
    EXPECT_EQ(readPassword(*store_, kSettings, u"Ann").value, u"pw1");
    EXPECT_EQ(readPassword(*store_, kSettings, u"Dee").value, u"pw4");
    EXPECT_EQ(readPassword(*store_, kSettings, u"Eve").value, u"pw5");
    EXPECT_FALSE(text(userKeyPath(kSettings, u"Ben"), u"Password"));
    EXPECT_FALSE(text(userKeyPath(kSettings, u"Cy"), u"Password"));
    EXPECT_EQ(readKeyCode(*store_, kSettings, u"Ann").value, 5);
    EXPECT_EQ(readPattern(*store_, kSettings, u"Ann").value, 2);
}

// Key names ignore letter case: users listed as abcd and ABCD by a store written elsewhere have
// one key between them, so only the first is listed, and nothing else moves.
TEST_P(SettingsStore, NamesDifferingInCaseOnlyAreOneUser) {
    putInteger(kSettings, u"UserCount", 4);
    putText(kSettings, u"User1", "abcd");
    putText(kSettings, u"User2", "ABCD");
    putText(kSettings, u"User3", "bob");
    putText(kSettings, u"User4", "abcd");
    EXPECT_EQ(*loadUserNames(*store_, kSettings),
              (std::vector<std::u16string>{u"", u"abcd", u"bob"}));
    EXPECT_TRUE(sameIgnoringCase(u"Taro1", u"tARO1"));
    // The first and last letters fold; the characters beside them in ASCII do not.
    EXPECT_TRUE(sameIgnoringCase(u"AZ", u"az"));
    for (const auto& [a, b] : {std::pair{u"@", u"`"}, std::pair{u"[", u"{"}}) {
        EXPECT_FALSE(sameIgnoringCase(a, b));
    }
    EXPECT_FALSE(sameIgnoringCase(u"taro", u"taro1"));
    EXPECT_FALSE(sameIgnoringCase(u"a", u"b"));
}

// Every open and write of a save in turn fails: what came before it is written, nothing after.
TEST_P(SettingsStore, ASaveStopsAtTheFirstFailure) {
    std::vector<EditedUser> users = {
        {u"Ann", u"pw1", false}, {u"Ben", u"pw2", true}, {u"Cy", u"pw3", false}};
    OptionsValues options;
    options.retryLimited = 1;
    options.retryCount = u"5";
    options.keyCodeText = u"9";

    // Logs name the settings key "$", whatever each store's own is.
    const auto relative = [](std::vector<std::string> log, const std::u16string& keyPath) {
        const std::string prefix = toUtf8(keyPath);
        for (std::string& entry : log) {
            const auto at = entry.find(prefix);
            if (at == std::string::npos) continue;
            std::string named(entry, 0, at);
            named.push_back('$');
            named.append(entry, at + prefix.size());
            entry = std::move(named);
        }
        return log;
    };
    // The order of a complete save, step by step: the program values, the user list (deleting
    // a value that is not there logs nothing), then each kept user's key.
    const std::vector<std::string> complete = {"open $",
                                               "int $|Startup",
                                               "int $|Retry",
                                               "int $|ShowToolbar",
                                               "int $|ShowStatusbar",
                                               "text $|FontName",
                                               "int $|FontSize",
                                               "int $|FontBold",
                                               "int $|FontItalic",
                                               "int $|UserCount",
                                               "text $|User1",
                                               "text $|User2",
                                               "open $\\Ann",
                                               "text $\\Ann|Password",
                                               "open $\\Cy",
                                               "text $\\Cy|Password",
                                               "text $\\Cy|KeyCode",
                                               "text $\\Cy|Pattern"};
    {
        FaultInjectingStore recorder(*store_);
        ASSERT_FALSE(saveAllSettings(recorder, kSettings, users, options, u"Cy"));
        EXPECT_EQ(relative(recorder.log(), kSettings), complete);
        // 3 opens, 8 program values and the count, 2 names, 4 user values
        EXPECT_EQ(recorder.attempts(), 18);
    }
    const int steps = 18;
    for (int failAt = 1; failAt <= steps; ++failAt) {
        StoreUnderTest fresh = GetParam().make(dir_ / ("run" + std::to_string(failAt)));
        FaultInjectingStore faulty(*fresh.store, failAt);
        const auto failure = saveAllSettings(faulty, fresh.keyPath, users, options, u"Cy");
        ASSERT_EQ(failure, StoreFailure::SaveFailed) << failAt;
        // The log of the failing run is the start of the complete one.
        const std::vector<std::string> written = relative(faulty.log(), fresh.keyPath);
        ASSERT_LE(written.size(), complete.size());
        EXPECT_TRUE(std::equal(written.begin(), written.end(), complete.begin())) << failAt;
        EXPECT_EQ(faulty.attempts(), failAt) << "nothing is tried after the failure";
    }
    // A batch that cannot begin (another program writing): nothing is tried, and it fails.
    {
        FaultInjectingStore busy(*store_);
        busy.refuseBatches();
        EXPECT_EQ(saveAllSettings(busy, kSettings, users, options, u"Cy"),
                  StoreFailure::SaveFailed);
        EXPECT_EQ(busy.attempts(), 0);
    }
    EXPECT_EQ(storeMessage(StoreFailure::SaveFailed).text, u"プログラム情報の保存に失敗しました。");
    EXPECT_EQ(storeMessage(StoreFailure::SaveFailed).icon, MessageIcon::Exclamation);
}

// Test names carry the backend's name, never the bytes of its value.
void PrintTo(const Backend& backend, std::ostream* out) { *out << backend.name; }

INSTANTIATE_TEST_SUITE_P(Backends, SettingsStore, testing::ValuesIn(kBackends),
                         [](const auto& param) { return std::string(param.param.name); });

#ifdef _WIN32
// The registry's ANSI entry points convert through the ANSI code page: the stored bytes are
// CP932 only where that is 932, as on the Japanese Windows the program is made for.
TEST(RegistryValueStore, RunsWhereTheAnsiCodePageIs932) {
    EXPECT_EQ(GetACP(), 932u) << "run the tests with LC_ALL=ja_JP.UTF-8";
    RegistryValueStore store;
    const std::u16string path = u"Software\\Quorvel Software\\VoxiloTests\\CodePage";
    auto key = store.openKey(path);
    ASSERT_TRUE(key);
    ASSERT_TRUE(
        store.writeText(*key, u"FontName", "\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e"));
    // Read back through the wide entry point: the registry holds the Japanese text itself.
    wchar_t wide[64] = {};
    DWORD length = sizeof wide;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, reinterpret_cast<const wchar_t*>(path.c_str()),
                           L"FontName", RRF_RT_REG_SZ, nullptr, wide, &length),
              ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(wide)), u"ＭＳ ゴシック");
    store.closeKey(*key);
}
#endif

TEST(StoreMessages, StartUpFailuresEndTheProgram) {
    const StoreMessage users = storeMessage(StoreFailure::UserListUnavailable);
    EXPECT_EQ(users.text, u"プログラム情報の取得に失敗しました。");
    EXPECT_EQ(users.icon, MessageIcon::Critical);
    EXPECT_TRUE(users.programEnds);
    const StoreMessage settings = storeMessage(StoreFailure::SettingsUnavailable);
    EXPECT_EQ(settings.text,
              u"プログラム情報の取得に失敗しました。\r\nアプリケーションを終了します。");
    EXPECT_TRUE(settings.programEnds);
    EXPECT_FALSE(storeMessage(StoreFailure::ReadFailed).programEnds);
}

}  // namespace
}  // namespace voxilo
