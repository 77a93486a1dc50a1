#include "core/store/SqliteValueStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <random>

#include "core/store/ProgramSettings.h"
#include "core/store/UserRecords.h"
#include "support/FilesCannotGrow.h"
#include "support/TempDir.h"

namespace voxilo {
namespace {

using testing_support::readFile;
using testing_support::writeFile;

TEST(SqliteValueStore, KeepsTheStorePrivate) {
    testing_support::TempDir dir;
    SqliteValueStore store(dir / "config/voxilo/settings.db");
    ASSERT_TRUE(loadUserNames(store, kSettingsKeyPath));
    struct stat info {};
    ASSERT_EQ(::stat((dir / "config/voxilo").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat((dir / "config/voxilo/settings.db").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(SqliteValueStore, NamesIgnoreCaseAsTheRegistryDoes) {
    testing_support::TempDir dir;
    SqliteValueStore store(dir / "settings.db");
    auto key = store.openKey(u"Software\\Voxilo");
    ASSERT_TRUE(key);
    ASSERT_TRUE(store.writeInteger(*key, u"FontSize", 9));
    EXPECT_EQ(store.readInteger(*store.openKey(u"SOFTWARE\\voxilo"), u"fontsize"), 9);
    // A key with subkeys stays; one without goes, with its values.
    ASSERT_TRUE(store.openKey(u"Software\\Voxilo\\Sub"));
    EXPECT_FALSE(store.deleteKey(u"Software\\Voxilo"));
    EXPECT_TRUE(store.deleteKey(u"Software\\Voxilo\\Sub"));
    EXPECT_TRUE(store.deleteKey(u"Software\\Voxilo"));
    EXPECT_FALSE(store.readInteger(*store.openKey(u"Software\\Voxilo"), u"FontSize"));
}

// What is not a sound store of ours is never opened, and never touched.
TEST(SqliteValueStore, RefusesFilesThatAreNotItsStore) {
    testing_support::TempDir dir;
    std::mt19937 rng(5);
    std::string noise(8192, '\0');
    for (char& c : noise) c = static_cast<char>(rng());

    // A sound store, cut short.
    const auto good = dir / "good.db";
    {
        SqliteValueStore store(good);
        OptionsValues options;
        std::vector<EditedUser> users;
        for (int i = 0; i < 200; ++i)
            users.push_back({u"user" + std::u16string(1, char16_t(u'a' + i % 26)), u"pw", false});
        ASSERT_FALSE(saveAllSettings(store, kSettingsKeyPath, users, options, u""));
    }
    const std::string whole = readFile(good);
    ASSERT_GT(whole.size(), 8192u);

    // Another program's database.
    const auto other = dir / "other.db";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(other.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE notes(text TEXT); INSERT INTO notes VALUES('x');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    const std::vector<std::pair<std::string, std::string>> files = {
        {"noise.db", noise},
        {"truncated.db", whole.substr(0, whole.size() / 2)},
        {"other.db", readFile(other)},
    };
    for (const auto& [name, bytes] : files) {
        writeFile(dir / name, bytes);
        SqliteValueStore store(dir / name);
        const auto names = loadUserNames(store, kSettingsKeyPath);
        ASSERT_FALSE(names) << name;
        EXPECT_EQ(names.error(), StoreFailure::UserListUnavailable);
        EXPECT_FALSE(loadProgramSettings(store, kSettingsKeyPath, u"/"));
        EXPECT_EQ(readFile(dir / name), bytes) << name << " was changed";
    }
}

// The Options dialog's save of `users` with key code `keyCode` for the first of them.
std::optional<StoreFailure> saveUsers(ValueStore& store, const std::vector<EditedUser>& users,
                                      std::u16string keyCode) {
    OptionsValues options;
    options.keyCodeText = std::move(keyCode);
    return saveAllSettings(store, kSettingsKeyPath, users, options, users.front().user);
}

// A save whose changes cannot be kept at its end is a failed save, and the store holds what it
// held before, as the next start reads it.
TEST(SqliteValueStore, ASaveThatCannotBeKeptFails) {
    testing_support::TempDir dir;
    const auto file = dir / "settings.db";
    {
        SqliteValueStore store(file);
        ASSERT_FALSE(saveUsers(store, {{u"taro", u"pw", false}}, u"3"));
    }
    SqliteValueStore store(file);
    ASSERT_TRUE(loadUserNames(store, kSettingsKeyPath));  // open before the disk fills
    {
        const testing_support::FilesCannotGrow full;
        EXPECT_EQ(saveUsers(store, {{u"taro", u"pw", false}, {u"jiro", u"pw2", false}}, u"25"),
                  StoreFailure::SaveFailed);
    }
    {
        SqliteValueStore next(file);  // the next start
        EXPECT_EQ(*loadUserNames(next, kSettingsKeyPath),
                  (std::vector<std::u16string>{u"", u"taro"}));
        EXPECT_EQ(readKeyCode(next, kSettingsKeyPath, u"taro").value, 3);
    }
    // Once there is room again, the same save of the same running program goes through, again
    // as one batch: the failed one has ended.
    EXPECT_FALSE(saveUsers(store, {{u"taro", u"pw", false}, {u"jiro", u"pw2", false}}, u"25"));
    EXPECT_EQ(readKeyCode(store, kSettingsKeyPath, u"taro").value, 25);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &other), SQLITE_OK);
    sqlite3_busy_timeout(other, 0);
    // Nothing of it is left open: another connection can write at once.
    EXPECT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; COMMIT;", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(other);
    SqliteValueStore next(file);
    EXPECT_EQ(*loadUserNames(next, kSettingsKeyPath),
              (std::vector<std::u16string>{u"", u"taro", u"jiro"}));
    EXPECT_EQ(readPassword(next, kSettingsKeyPath, u"jiro").value, u"pw2");
}

// Another program that holds the store open for reading (voxilo-cli, a sqlite3 shell in the
// middle of a query) does not make a save wait or fail.
TEST(SqliteValueStore, AReaderDoesNotHoldUpASave) {
    testing_support::TempDir dir;
    const auto file = dir / "settings.db";
    SqliteValueStore store(file);
    ASSERT_FALSE(saveUsers(store, {{u"taro", u"pw", false}}, u"3"));

    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open_v2(file.c_str(), &reader, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT * FROM vals;", nullptr, nullptr, nullptr),
              SQLITE_OK);
    EXPECT_FALSE(saveUsers(store, {{u"taro", u"pw", false}, {u"jiro", u"pw2", false}}, u"25"));
    // The reader still sees the store as it was when its query began.
    sqlite3_stmt* count = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(reader, "SELECT count(*) FROM keys", -1, &count, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(count, 0), 5);  // the path's four keys and taro's
    sqlite3_finalize(count);
    sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(reader);

    SqliteValueStore later(file);
    EXPECT_EQ(*loadUserNames(later, kSettingsKeyPath),
              (std::vector<std::u16string>{u"", u"taro", u"jiro"}));
    EXPECT_EQ(readKeyCode(later, kSettingsKeyPath, u"taro").value, 25);
}

}  // namespace
}  // namespace voxilo
