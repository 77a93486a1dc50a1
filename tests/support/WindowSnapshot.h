#pragma once

#include <QMap>
#include <QString>

#include "core/AppState.h"
#include "core/store/ProgramSettings.h"

namespace voxilo {
class MainWindow;
}

namespace voxilo::testing_support {

// Everything a user or the store can observe of a main window and its documents, by name: both
// panes' text, flags and files, the caption, the focus, every command's state, the user and the
// key, the program settings (the file dialogs' folder among them), every stored value and every
// file in the test's folder. A command's test takes one before and one after and names the
// fields that must differ; a slip anywhere else then shows as a difference too. The messages
// shown are the scripted dialogs' business: they fail a test on any call not expected.
struct WindowSnapshot {
    // `storeFile`: the SQLite file of the test's store (ignored on Windows, where the store is
    // the registry's settings key); `folder`: the documents' folder, empty for none.
    static WindowSnapshot take(const MainWindow& window, const AppState& state,
                               const ProgramSettings& settings, const QString& storeFile,
                               const QString& folder);

    QMap<QString, QString> fields;
};

// "" when `after` differs from `before` in exactly the fields of `expected`, each with the value
// given there; otherwise each difference, readable: "field: before → after (expected ...)".
QString unexpectedChanges(const WindowSnapshot& before, const WindowSnapshot& after,
                          const QMap<QString, QString>& expected);

}  // namespace voxilo::testing_support

// Fails the test with the differences when the snapshots differ other than in `expected`.
#define VERIFY_CHANGES(before, after, ...)                                            \
    do {                                                                              \
        const QString problems_ =                                                     \
            ::voxilo::testing_support::unexpectedChanges(before, after, __VA_ARGS__); \
        QVERIFY2(problems_.isEmpty(), qPrintable(problems_));                         \
    } while (false)
