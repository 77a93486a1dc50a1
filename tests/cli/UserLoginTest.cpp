#include "cli/UserLogin.h"

#include <gtest/gtest.h>

#include <string>

#include "core/store/ProgramSettings.h"
#include "core/store/UserRecords.h"
#include "support/FaultInjectingStore.h"
#include "support/MemoryValueStore.h"

namespace voxilo::cli {
namespace {

using testing_support::FaultInjectingStore;
using testing_support::MemoryValueStore;

const std::string kRefused = "ユーザー名またはパスワードが違います。";
const std::string kUnreadable = "プログラム情報の取得に失敗しました。";

// The whole result: the key code and pattern, or the message and nothing else.
std::string outcome(const Expected<UserKey, std::string>& key) {
    if (!key) return "refused: " + key.error();
    return "key " + std::to_string(key->keyCode) + " pattern " + std::to_string(key->pattern);
}

// A conversion with a user's key runs only with the key they stored: a password that does not
// match, or any of the user's values that cannot be read, refuses it with the message the window
// gives, never with a default key code or pattern in place of the one that could not be read.
TEST(UserLogin, GivesTheStoredKeyOrRefuses) {
    MemoryValueStore memory;
    OptionsValues options;
    options.keyCodeText = u"25";  // the last key code and pattern, so that no default passes
    options.patternIndex = 3;
    ASSERT_FALSE(saveAllSettings(memory, kSettingsKeyPath,
                                 {{u"alice", u"Secret1", false}, {u"bob", u"pw2", false}}, options,
                                 u"alice"));
    struct Case {
        const char* user;
        const char* password;
        int unreadableFrom;  // the open of alice's key (1: password, 2: key code, 3: pattern)
        std::string expected;
    };
    const Case cases[] = {
        {"alice", "Secret1", 0, "key 25 pattern 3"},
        {"bob", "pw2", 0, "key 1 pattern 0"},  // nothing of his own stored yet
        {"alice", "secret1", 0, "refused: " + kRefused},
        {"Alice", "Secret1", 0, "refused: " + kRefused},  // names compare exactly
        {"alice", "Secret", 0, "refused: " + kRefused},
        {"carl", "Secret1", 0, "refused: " + kRefused},
        {"alice", "", 0, "refused: パスワードを入力してください。"},
        {"alice", "Secret1", 1, "refused: " + kUnreadable},
        {"alice", "Secret1", 2, "refused: " + kUnreadable},
        {"alice", "Secret1", 3, "refused: " + kUnreadable},
    };
    const std::u16string aliceKey = userKeyPath(kSettingsKeyPath, u"alice");
    for (const Case& c : cases) {
        FaultInjectingStore store(memory);
        int opens = 0;
        store.beforeOpen = [&](std::u16string_view path) {
            if (path == aliceKey && ++opens == c.unreadableFrom) store.failOpening(aliceKey);
        };
        EXPECT_EQ(outcome(logIn(store, c.user, c.password)), c.expected)
            << c.user << " / " << c.password << ", unreadable from open " << c.unreadableFrom;
        // A login only reads.
        for (const std::string& entry : store.log())
            EXPECT_EQ(entry.rfind("open ", 0), 0u) << entry;
    }
}

}  // namespace
}  // namespace voxilo::cli
