#pragma once

#include <filesystem>
#include <memory>

#include "core/store/ValueStore.h"

struct sqlite3;

namespace voxilo {

// The settings store on Linux and every system without a registry: one SQLite database file
// holding keys and values as the registry would. Each write is its own transaction, committed
// before the call returns, so a crash never leaves half a write behind. The database is kept in
// write-ahead-log mode, so that a reader (voxilo-cli, or the window reading a user's key code)
// never makes a save fail, and a writer waits a while for another before it gives up. A file that
// is not a sound store of ours (not a database, a damaged one, another program's) makes every open
// fail and is never written to, let alone replaced or deleted.
class SqliteValueStore final : public ValueStore {
public:
    explicit SqliteValueStore(std::filesystem::path file);
    ~SqliteValueStore() override;

    // $XDG_CONFIG_HOME/voxilo/settings.db, or ~/.config/voxilo/settings.db.
    static std::filesystem::path defaultFile();

    std::optional<Key> openKey(std::u16string_view path) override;
    void closeKey(Key key) override;
    std::optional<std::int16_t> readInteger(Key key, std::u16string_view name) override;
    std::optional<std::string> readText(Key key, std::u16string_view name,
                                        std::size_t bufferBytes) override;
    bool writeInteger(Key key, std::u16string_view name, std::int16_t value) override;
    bool writeText(Key key, std::u16string_view name, std::string_view bytes) override;
    bool deleteValue(Key key, std::u16string_view name) override;
    bool deleteKey(std::u16string_view path) override;
    bool beginBatch() override;
    bool endBatch() override;

private:
    bool beginStep();
    bool endStep();
    void undoStep();
    bool connect();
    std::optional<std::string> readData(Key key, std::u16string_view name);
    bool writeData(Key key, std::u16string_view name, int type, std::string_view data);

    std::filesystem::path file_;
    sqlite3* db_ = nullptr;
    bool inBatch_ = false;  // a transaction holds the batch; the steps inside it nest
};

}  // namespace voxilo
