#pragma once

#include <QObject>

#include <array>

#include "core/AppState.h"

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QStatusBar;

namespace voxilo {

class MainWindow;

// File > 文字コード: the encoding the pane with the keyboard (or the one that had it last) is
// saved in, chosen before saving; and the status bar's report of that pane: the caret's line
// and column, and its encoding.
class EncodingCommands : public QObject {
    Q_OBJECT
public:
    // Adds the submenu to `fileMenu` before `before`, and the report to `statusBar`.
    EncodingCommands(MainWindow& window, AppState& state, QMenu& fileMenu, QAction* before,
                     QStatusBar& statusBar);

    // The pane the choice and the report are about.
    QPlainTextEdit* pane() const;
    // Saves that pane in `encoding` from now on. A pane tied to a file is then modified: its
    // file no longer holds what a save would write.
    void choose(TextEncoding encoding);
    // Shows the pane's caret and encoding, and checks its encoding in the menu.
    void refresh();

private:
    TextEncoding& encodingOf(const QPlainTextEdit* pane) const;

    MainWindow& window_;
    AppState& state_;
    QMenu* menu_ = nullptr;
    std::array<QAction*, 5> choices_{};
    QLabel* position_ = nullptr;
    QLabel* encoding_ = nullptr;
    QPlainTextEdit* lastPane_ = nullptr;
};

}  // namespace voxilo
