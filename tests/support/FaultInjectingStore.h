#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/platform/Utf8.h"
#include "core/store/ValueStore.h"

namespace voxilo::testing_support {

// Passes everything on to a real store, keeps a log of what changed it, and can make the N-th
// open or write (counting both from 1) fail.
class FaultInjectingStore final : public ValueStore {
public:
    explicit FaultInjectingStore(ValueStore& inner, int failAt = 0)
        : inner_(inner), failAt_(failAt) {}

    // "open PATH", "int PATH|NAME", "text PATH|NAME", "delete PATH|NAME", "drop PATH", in order,
    // for what succeeded.
    const std::vector<std::string>& log() const { return log_; }
    int attempts() const { return attempts_; }
    // From now on every open and write fails, as when the store goes away under a running
    // program.
    void breakDown() { broken_ = true; }
    // From now on every write of a value named `name` fails (in any key).
    void failWritesOf(std::u16string name) { failName_ = std::move(name); }
    // From now on a batch cannot begin, as when another program is writing to the store.
    void refuseBatches() { refuseBatches_ = true; }
    // Until openAgain(), every open of the key at `path` fails, as when another program holds
    // the store: reads of that user's values fail then.
    void failOpening(std::u16string path) { unopenable_.insert(std::move(path)); }
    void openAgain() { unopenable_.clear(); }
    // Called before each open, whether it fails or not.
    std::function<void(std::u16string_view path)> beforeOpen;

    std::optional<Key> openKey(std::u16string_view path) override {
        if (beforeOpen) beforeOpen(path);
        if (unopenable_.count(std::u16string(path)) != 0) return std::nullopt;
        if (fails()) return std::nullopt;
        auto key = inner_.openKey(path);
        if (key) {
            paths_[*key] = toUtf8(path);
            log_.push_back("open " + toUtf8(path));
        }
        return key;
    }
    void closeKey(Key key) override { inner_.closeKey(key); }
    std::optional<std::int16_t> readInteger(Key key, std::u16string_view name) override {
        return inner_.readInteger(key, name);
    }
    std::optional<std::string> readText(Key key, std::u16string_view name,
                                        std::size_t bufferBytes) override {
        return inner_.readText(key, name, bufferBytes);
    }
    bool writeInteger(Key key, std::u16string_view name, std::int16_t value) override {
        return record("int", key, name, !fails(name) && inner_.writeInteger(key, name, value));
    }
    bool writeText(Key key, std::u16string_view name, std::string_view bytes) override {
        return record("text", key, name, !fails(name) && inner_.writeText(key, name, bytes));
    }
    bool deleteValue(Key key, std::u16string_view name) override {
        return record("delete", key, name, inner_.deleteValue(key, name));
    }
    bool beginBatch() override { return !refuseBatches_ && inner_.beginBatch(); }
    bool endBatch() override { return inner_.endBatch(); }
    bool deleteKey(std::u16string_view path) override {
        const bool done = inner_.deleteKey(path);
        if (done) log_.push_back("drop " + toUtf8(path));
        return done;
    }

private:
    bool fails() { return ++attempts_ == failAt_ || broken_; }
    bool fails(std::u16string_view name) {
        return fails() || (!failName_.empty() && name == failName_);
    }
    bool record(const char* what, Key key, std::u16string_view name, bool done) {
        if (done) log_.push_back(std::string(what) + " " + paths_[key] + "|" + toUtf8(name));
        return done;
    }

    ValueStore& inner_;
    int failAt_;
    int attempts_ = 0;
    bool broken_ = false;
    bool refuseBatches_ = false;
    std::u16string failName_;
    std::set<std::u16string> unopenable_;
    std::map<Key, std::string> paths_;
    std::vector<std::string> log_;
};

}  // namespace voxilo::testing_support
