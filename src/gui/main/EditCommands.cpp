#include "gui/main/EditCommands.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

#include "gui/dialogs/BusyCursor.h"
#include "gui/main/MainWindow.h"
#include "gui/main/PaneText.h"

namespace voxilo {
namespace {

// How lines break in text handed to other programs.
#ifdef Q_OS_WIN
const QString kLineBreak = QStringLiteral("\r\n");
#else
const QString kLineBreak = QStringLiteral("\n");
#endif

}  // namespace

EditCommands::EditCommands(MainWindow& window, Dialogs& dialogs, const Actions& actions,
                           std::function<QWidget*()> activeControl)
    : QObject(&window),
      window_(window),
      dialogs_(dialogs),
      actions_(actions),
      activeControl_(std::move(activeControl)) {
    setObjectName(QStringLiteral("editCommands"));
    connect(actions.copy, &QAction::triggered, this, &EditCommands::copy);
    connect(actions.cut, &QAction::triggered, this, &EditCommands::cut);
    connect(actions.paste, &QAction::triggered, this, &EditCommands::paste);
    connect(actions.selectAll, &QAction::triggered, this, &EditCommands::selectAll);
    // The middle button pastes X11's selection: the converted document refuses that as it
    // refuses Paste.
    bottomViewport_ = window.bottomPane()->viewport();
    bottomViewport_->installEventFilter(this);
    for (QPlainTextEdit* pane : {window.topPane(), window.bottomPane()}) {
        pane->installEventFilter(this);
        pane->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(pane, &QWidget::customContextMenuRequested, this, [this, pane](QPoint at) {
            QMenu* menu = contextMenu(*pane);
            menu->popup(pane->viewport()->mapToGlobal(at));
        });
    }
}

QPlainTextEdit* EditCommands::activePane() const {
    QWidget* active = activeControl_();
    if (active == window_.topPane()) return window_.topPane();
    if (active == window_.bottomPane()) return window_.bottomPane();
    return nullptr;
}

void EditCommands::copySelection(const QPlainTextEdit& pane) {
    // A pane keeps a line break as U+2029 and a lone LF as U+2028.
    QString text = pane.textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, kLineBreak);
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();  // an empty selection leaves nothing of what was there
    clipboard->setText(text);
}

void EditCommands::copy() {
    if (const QPlainTextEdit* pane = activePane()) copySelection(*pane);
    window_.updateCommands();
}

void EditCommands::cut() {
    if (QPlainTextEdit* pane = activePane()) {
        copySelection(*pane);
        if (pane == window_.topPane()) pane->textCursor().removeSelectedText();
    }
    window_.updateCommands();
}

void EditCommands::paste() {
    QPlainTextEdit* pane = activePane();
    if (pane == window_.bottomPane()) {
        dialogs_.beep();  // the converted document takes no text from outside
        return;
    }
    if (pane != nullptr) {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        if (data != nullptr && data->hasText()) {
            BusyCursor busy;
            pane->textCursor().insertText(outsideTextForPane(data->text()));
            pane->ensureCursorVisible();
        } else {
            dialogs_.beep();
        }
    }
    window_.updateCommands();
}

void EditCommands::selectAll() {
    if (QPlainTextEdit* pane = activePane()) pane->selectAll();
    window_.updateCommands();
}

QMenu* EditCommands::contextMenu(QPlainTextEdit& pane) {
    // Right-clicking a pane makes it the one the commands work on.
    pane.setFocus(Qt::MouseFocusReason);
    window_.updateCommands();
    auto* menu = new QMenu(&pane);
    menu->setObjectName(QStringLiteral("paneMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* undo = menu->addAction(QStringLiteral("元に戻す(&U)"), &pane, &QPlainTextEdit::undo);
    undo->setEnabled(pane.document()->isUndoAvailable());
    QAction* redo = menu->addAction(QStringLiteral("やり直し(&R)"), &pane, &QPlainTextEdit::redo);
    redo->setEnabled(pane.document()->isRedoAvailable());
    menu->addSeparator();
    menu->addActions({actions_.cut, actions_.copy, actions_.paste});
    menu->addSeparator();
    menu->addAction(actions_.selectAll);
    return menu;
}

// The Edit command a key stands for, when it is one of the clipboard keys of a text box.
QAction* EditCommands::commandOfKey(const QEvent& event) const {
    const auto& key = static_cast<const QKeyEvent&>(event);
    const std::pair<QKeySequence::StandardKey, QAction*> keys[] = {
        {QKeySequence::Copy, actions_.copy},
        {QKeySequence::Cut, actions_.cut},
        {QKeySequence::Paste, actions_.paste},
        {QKeySequence::SelectAll, actions_.selectAll},
    };
    for (const auto& [standard, action] : keys) {
        if (key.matches(standard)) return action;
    }
    for (const auto& [standard, action] : keys) {
        if (!action->shortcut().isEmpty() &&
            action->shortcut() == QKeySequence(key.keyCombination())) {
            return action;
        }
    }
    return nullptr;
}

// A text box takes its clipboard keys for itself, before the menu's shortcuts see them; here
// they run the Edit commands instead, which only act while enabled.
bool EditCommands::eventFilter(QObject* watched, QEvent* event) {
    if (watched == bottomViewport_ &&
        (event->type() == QEvent::MouseButtonPress ||
         event->type() == QEvent::MouseButtonRelease) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton) {
        if (event->type() == QEvent::MouseButtonRelease) dialogs_.beep();
        return true;
    }
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::InsertLineSeparator)) {
        // Shift+Enter would put a line separator inside the line: it shows as a new line, so
        // it is one, as Enter makes it.
        if (auto* pane = qobject_cast<QPlainTextEdit*>(watched); pane && !pane->isReadOnly()) {
            pane->textCursor().insertText(QStringLiteral("\n"));
            pane->ensureCursorVisible();
            return true;
        }
    }
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        if (QAction* command = commandOfKey(*event)) {
            event->accept();
            if (event->type() == QEvent::KeyPress && command->isEnabled()) command->trigger();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace voxilo
