#include "core/store/SqliteValueStore.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>

#include "core/platform/Utf8.h"

namespace voxilo {
namespace {

// "VXLO": marks the database as ours, so that another program's is never taken for it.
constexpr int kApplicationId = 0x56584C4F;
constexpr int kRegSz = 1;
constexpr int kRegBinary = 3;
constexpr int kBusyMilliseconds = 5000;

constexpr const char* kSchema =
    "CREATE TABLE keys(id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE COLLATE NOCASE);"
    "CREATE TABLE vals(key INTEGER NOT NULL, name TEXT NOT NULL COLLATE NOCASE,"
    " type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, name));"
    "PRAGMA application_id = 1448627279;"  // kApplicationId
    "PRAGMA user_version = 1;";
static_assert(kApplicationId == 1448627279);

// One prepared statement, finalized when it goes out of scope.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    Statement& bind(int index, std::int64_t value) {
        if (stmt_) sqlite3_bind_int64(stmt_, index, value);
        return *this;
    }
    Statement& bind(int index, const std::string& text) {
        if (stmt_)
            sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                              SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bindBlob(int index, std::string_view data) {
        if (stmt_)
            sqlite3_bind_blob(stmt_, index, data.data(), static_cast<int>(data.size()),
                              SQLITE_TRANSIENT);
        return *this;
    }
    int step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
    bool run() { return step() == SQLITE_DONE; }
    std::int64_t integer(int column) { return sqlite3_column_int64(stmt_, column); }
    std::string blob(int column) {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
        return std::string(data ? data : "",
                           static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

bool execute(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace

SqliteValueStore::SqliteValueStore(std::filesystem::path file) : file_(std::move(file)) {}

SqliteValueStore::~SqliteValueStore() { sqlite3_close(db_); }

std::filesystem::path SqliteValueStore::defaultFile() {
    std::filesystem::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        config = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        config = std::filesystem::path(home) / ".config";
    }
    return config / "voxilo" / "settings.db";
}

// Opens the database, making a new one when there is none. An existing file is only read
// until it has shown itself to be a sound store of ours.
bool SqliteValueStore::connect() {
    if (db_ != nullptr) return true;
    std::error_code ec;
    if (!std::filesystem::exists(file_, ec)) {
        const std::filesystem::path folder = file_.parent_path();
        if (!folder.empty() && !std::filesystem::exists(folder, ec)) {
            std::filesystem::create_directories(folder, ec);
            if (ec) return false;
            ::chmod(folder.c_str(), 0700);
        }
        // Made here rather than by SQLite, so that it is private to the user from the start.
        const int fd = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        ::close(fd);
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file_.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    // Another writer (voxilo-cli making a key, the window saving) holds the store for a few
    // milliseconds at most: wait for it rather than fail.
    sqlite3_busy_timeout(db, kBusyMilliseconds);

    // Each statement is finalized before the next step, and all before any close.
    const auto single = [db](const char* sql) -> std::optional<std::string> {
        Statement statement(db, sql);
        if (statement.step() != SQLITE_ROW) return std::nullopt;
        return statement.blob(0);
    };
    bool sound = false;
    if (const auto id = single("PRAGMA application_id")) {
        if (*id == std::to_string(kApplicationId)) {
            sound = single("PRAGMA quick_check") == "ok";
        } else if (*id == "0" && single("SELECT count(*) FROM sqlite_master") == "0") {
            // Only a database with nothing in it at all (the one just made, or one whose
            // making was cut short) may become ours.
            sound = execute(db, "BEGIN IMMEDIATE") && execute(db, kSchema) && execute(db, "COMMIT");
            if (!sound) execute(db, "ROLLBACK");
        }
    }
    if (!sound) {
        sqlite3_close(db);
        return false;
    }
    // With a write-ahead log, readers never block a commit: a program that holds the store
    // open for reading, however long, cannot make a save fail. Where the file system cannot
    // share the log's index (some network folders), the rollback journal stays, and a reader
    // then delays a save by up to the busy timeout. A full sync makes a commit durable before
    // it is reported.
    single("PRAGMA journal_mode = WAL");
    execute(db, "PRAGMA synchronous = FULL");
    db_ = db;
    return true;
}

std::optional<ValueStore::Key> SqliteValueStore::openKey(std::u16string_view path) {
    if (!connect()) return std::nullopt;
    const std::string full = toUtf8(path);
    if (!beginStep()) return std::nullopt;
    // The key and each missing parent, as the registry makes them.
    bool ok = true;
    for (std::size_t cut = full.find('\\'); ok; cut = full.find('\\', cut + 1)) {
        const std::string prefix = full.substr(0, cut);
        ok = Statement(db_, "INSERT OR IGNORE INTO keys(path) VALUES(?1)").bind(1, prefix).run();
        if (cut == std::string::npos) break;
    }
    std::optional<Key> key;
    if (ok) {
        Statement select(db_, "SELECT id FROM keys WHERE path = ?1");
        if (select.bind(1, full).step() == SQLITE_ROW) key = static_cast<Key>(select.integer(0));
    }
    if (key && endStep()) return key;
    undoStep();
    return std::nullopt;
}

void SqliteValueStore::closeKey(Key) {}

std::optional<std::string> SqliteValueStore::readData(Key key, std::u16string_view name) {
    if (db_ == nullptr) return std::nullopt;
    Statement select(db_, "SELECT data FROM vals WHERE key = ?1 AND name = ?2");
    select.bind(1, static_cast<std::int64_t>(key)).bind(2, toUtf8(name));
    if (select.step() != SQLITE_ROW) return std::nullopt;
    return select.blob(0);
}

std::optional<std::int16_t> SqliteValueStore::readInteger(Key key, std::u16string_view name) {
    const auto data = readData(key, name);
    if (!data || data->size() > 2) return std::nullopt;
    unsigned value = 0;
    for (std::size_t i = 0; i < data->size(); ++i) {
        value |= static_cast<unsigned>(static_cast<unsigned char>((*data)[i])) << (8 * i);
    }
    return static_cast<std::int16_t>(value);
}

std::optional<std::string> SqliteValueStore::readText(Key key, std::u16string_view name,
                                                      std::size_t bufferBytes) {
    auto data = readData(key, name);
    if (!data || data->size() > bufferBytes) return std::nullopt;
    data->resize(std::min(data->size(), data->find('\0')));
    return data;
}

bool SqliteValueStore::writeData(Key key, std::u16string_view name, int type,
                                 std::string_view data) {
    if (db_ == nullptr) return false;
    Statement insert(db_,
                     "INSERT OR REPLACE INTO vals(key, name, type, data) VALUES(?1, ?2, ?3, ?4)");
    return insert.bind(1, static_cast<std::int64_t>(key))
        .bind(2, toUtf8(name))
        .bind(3, type)
        .bindBlob(4, data)
        .run();
}

bool SqliteValueStore::writeInteger(Key key, std::u16string_view name, std::int16_t value) {
    const auto bits = static_cast<std::uint16_t>(value);
    const char bytes[2] = {static_cast<char>(bits & 0xFF), static_cast<char>(bits >> 8)};
    return writeData(key, name, kRegBinary, std::string_view(bytes, 2));
}

bool SqliteValueStore::writeText(Key key, std::u16string_view name, std::string_view bytes) {
    std::string data(bytes);
    data.push_back('\0');
    return writeData(key, name, kRegSz, data);
}

bool SqliteValueStore::deleteValue(Key key, std::u16string_view name) {
    if (db_ == nullptr) return false;
    Statement remove(db_, "DELETE FROM vals WHERE key = ?1 AND name = ?2");
    return remove.bind(1, static_cast<std::int64_t>(key)).bind(2, toUtf8(name)).run() &&
           sqlite3_changes(db_) > 0;
}

bool SqliteValueStore::deleteKey(std::u16string_view path) {
    if (!connect()) return false;
    const std::string full = toUtf8(path);
    // Like the registry, a key with subkeys stays.
    Statement children(db_,
                       "SELECT count(*) FROM keys WHERE path > ?1 || '\\' AND path < ?1 || ']'");
    if (children.bind(1, full).step() != SQLITE_ROW || children.integer(0) != 0) return false;
    if (!beginStep()) return false;
    const bool ok =
        Statement(db_, "DELETE FROM vals WHERE key IN (SELECT id FROM keys WHERE path = ?1)")
            .bind(1, full)
            .run() &&
        Statement(db_, "DELETE FROM keys WHERE path = ?1").bind(1, full).run() &&
        sqlite3_changes(db_) > 0;
    if (ok && endStep()) return true;
    undoStep();
    return false;
}

// A step of several statements is a transaction of its own, or, inside a batch, a savepoint
// of the batch's transaction.
bool SqliteValueStore::beginStep() {
    return execute(db_, inBatch_ ? "SAVEPOINT step" : "BEGIN IMMEDIATE");
}

bool SqliteValueStore::endStep() { return execute(db_, inBatch_ ? "RELEASE step" : "COMMIT"); }

void SqliteValueStore::undoStep() {
    if (inBatch_) {
        execute(db_, "ROLLBACK TO step");
        execute(db_, "RELEASE step");
    } else {
        execute(db_, "ROLLBACK");
    }
}

bool SqliteValueStore::beginBatch() {
    if (inBatch_) return true;
    if (!connect() || !execute(db_, "BEGIN IMMEDIATE")) return false;
    inBatch_ = true;
    return true;
}

bool SqliteValueStore::endBatch() {
    if (!inBatch_) return false;
    inBatch_ = false;
    if (execute(db_, "COMMIT")) return true;
    // A commit that failed (a full disk, an I/O error) may have left the transaction open:
    // nothing of it stays.
    if (!sqlite3_get_autocommit(db_)) execute(db_, "ROLLBACK");
    return false;
}

}  // namespace voxilo
