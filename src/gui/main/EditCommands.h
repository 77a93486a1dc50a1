#pragma once

#include <QObject>

#include <functional>

#include "gui/dialogs/Dialogs.h"

class QAction;
class QMenu;
class QPlainTextEdit;
class QWidget;

namespace voxilo {

class MainWindow;

// The Edit menu's clipboard commands on the pane that has the focus. The lower pane holds a
// result to read and copy out: Cut there only copies, and Paste is refused with a beep. The
// panes' own clipboard keys and context menus go through these commands too, so the rules
// hold whichever way a command is asked for.
class EditCommands : public QObject {
    Q_OBJECT
public:
    struct Actions {
        QAction* copy;
        QAction* cut;
        QAction* paste;
        QAction* selectAll;
    };

    // `activeControl` names the window's control that has the focus.
    EditCommands(MainWindow& window, Dialogs& dialogs, const Actions& actions,
                 std::function<QWidget*()> activeControl);

    void copy();
    void cut();
    void paste();
    void selectAll();

    // The context menu of a pane: undo and redo, then the Edit menu's own commands.
    QMenu* contextMenu(QPlainTextEdit& pane);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPlainTextEdit* activePane() const;
    QAction* commandOfKey(const QEvent& key) const;
    void copySelection(const QPlainTextEdit& pane);

    MainWindow& window_;
    Dialogs& dialogs_;
    Actions actions_;
    std::function<QWidget*()> activeControl_;
    // The lower pane's viewport, known here so that events arriving while the window is torn
    // down need nothing of it.
    QObject* bottomViewport_ = nullptr;
};

}  // namespace voxilo
