#include "gui/main/DocumentDrops.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>
#include <QUrl>

#include "gui/main/FileCommands.h"
#include "gui/main/MainWindow.h"
#include "gui/main/PaneText.h"

namespace voxilo {
namespace {

// The local files among what is dragged, in their order.
QStringList droppedFiles(const QMimeData* data) {
    QStringList files;
    if (data == nullptr || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) files << QDir::toNativeSeparators(url.toLocalFile());
    }
    return files;
}

}  // namespace

DocumentDrops::DocumentDrops(MainWindow& window, FileCommands& files)
    : QObject(&window), window_(window), files_(files) {
    setObjectName(QStringLiteral("documentDrops"));
    window.setAcceptDrops(true);
    window.installEventFilter(this);
    // A text box takes drags in its viewport, or in itself when that does not.
    for (QPlainTextEdit* pane : {window.topPane(), window.bottomPane()}) {
        pane->installEventFilter(this);
        pane->viewport()->installEventFilter(this);
    }
}

bool DocumentDrops::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
        return QObject::eventFilter(watched, event);
    }
    auto* drop = static_cast<QDropEvent*>(event);
    const QStringList files = droppedFiles(drop->mimeData());
    if (!files.isEmpty()) {
        // The file is only read: a copy, never a move that would have its source delete it.
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (type == QEvent::Drop) {
            // Opened once the drop is over: the save questions must not hold up the drag.
            // Of several, the first is opened, and the user hears so.
            const std::u16string path = files.first().toStdU16String();
            const bool others = files.size() > 1;
            QTimer::singleShot(0, &files_, [this, path, others] {
                if (others) files_.tellOneFileAtATime(path);
                files_.openPath(path);
            });
        }
        return true;
    }
    QPlainTextEdit* bottom = window_.bottomPane();
    if (watched == bottom || watched == bottom->viewport()) {
        drop->ignore();  // no text from outside, as with Paste
        return true;
    }
    // Text dragged out of the lower pane is copied, never moved: it keeps its text as Cut
    // does there. Text from another program breaks its lines as pasted text does. Only text
    // moved within the upper pane is left to the pane itself.
    QPlainTextEdit* top = window_.topPane();
    auto* source = qobject_cast<QWidget*>(drop->source());
    const bool fromTop = source != nullptr && (source == top || top->isAncestorOf(source));
    if (type == QEvent::Drop && !fromTop && (watched == top || watched == top->viewport()) &&
        drop->mimeData()->hasText()) {
        const QPoint at = drop->position().toPoint();
        QTextCursor cursor =
            top->cursorForPosition(watched == top ? top->viewport()->mapFrom(top, at) : at);
        cursor.insertText(outsideTextForPane(drop->mimeData()->text()));
        top->setTextCursor(cursor);
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace voxilo
