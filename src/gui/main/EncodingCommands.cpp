#include "gui/main/EncodingCommands.h"

#include <QActionGroup>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextBlock>

#include "gui/main/MainWindow.h"

namespace voxilo {
namespace {

struct Choice {
    TextEncoding encoding;
    const char* name;     // the item's object name
    const char* caption;  // as Japanese editors list them
};
constexpr Choice kChoices[] = {
    {TextEncoding::Cp932, "mnuFileEncodingCp932", "Shift-JIS (CP932)(&S)"},
    {TextEncoding::Utf8, "mnuFileEncodingUtf8", "UTF-8(&U)"},
    {TextEncoding::Utf8Bom, "mnuFileEncodingUtf8Bom", "UTF-8 (BOM 付き)(&B)"},
    {TextEncoding::Utf16Le, "mnuFileEncodingUtf16Le", "UTF-16 LE(&L)"},
    {TextEncoding::Utf16Be, "mnuFileEncodingUtf16Be", "UTF-16 BE(&E)"},
};

QString nameOf(TextEncoding encoding) {
    const std::string_view name = encodingName(encoding);
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

}  // namespace

EncodingCommands::EncodingCommands(MainWindow& window, AppState& state, QMenu& fileMenu,
                                   QAction* before, QStatusBar& statusBar)
    : QObject(&window), window_(window), state_(state), lastPane_(window.topPane()) {
    setObjectName(QStringLiteral("encodingCommands"));
    menu_ = new QMenu(QStringLiteral("文字コード(&E)"), &fileMenu);
    menu_->setObjectName(QStringLiteral("mnuFileEncoding"));
    fileMenu.insertMenu(before, menu_);
    auto* group = new QActionGroup(menu_);
    for (std::size_t i = 0; i < std::size(kChoices); ++i) {
        QAction* item = menu_->addAction(QString::fromUtf8(kChoices[i].caption));
        item->setObjectName(QString::fromLatin1(kChoices[i].name));
        item->setCheckable(true);
        group->addAction(item);
        const TextEncoding encoding = kChoices[i].encoding;
        connect(item, &QAction::triggered, this, [this, encoding] { choose(encoding); });
        choices_[i] = item;
    }

    // Beside the Caps Lock indicator and the clock, as editors show them.
    position_ = new QLabel(&statusBar);
    position_->setObjectName(QStringLiteral("caretPosition"));
    encoding_ = new QLabel(&statusBar);
    encoding_->setObjectName(QStringLiteral("documentEncoding"));
    statusBar.insertPermanentWidget(0, position_);
    statusBar.insertPermanentWidget(1, encoding_);

    for (QPlainTextEdit* pane : {window.topPane(), window.bottomPane()}) {
        connect(pane, &QPlainTextEdit::cursorPositionChanged, this, [this, pane] {
            if (pane == this->pane()) refresh();
        });
    }
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now == window_.topPane() || now == window_.bottomPane()) {
            lastPane_ = static_cast<QPlainTextEdit*>(now);
            refresh();
        }
    });
    refresh();
}

QPlainTextEdit* EncodingCommands::pane() const { return lastPane_; }

TextEncoding& EncodingCommands::encodingOf(const QPlainTextEdit* pane) const {
    return pane == window_.bottomPane() ? state_.bottomEncoding : state_.topEncoding;
}

void EncodingCommands::choose(TextEncoding encoding) {
    TextEncoding& current = encodingOf(pane());
    if (current != encoding) {
        current = encoding;
        if (pane() == window_.topPane()) {
            if (state_.topHasFile && !state_.topPath.empty()) state_.topModified = true;
        } else if (!state_.bottomPath.empty()) {
            state_.bottomModified = true;
        }
    }
    window_.updateCommands();
    refresh();
}

void EncodingCommands::refresh() {
    const TextEncoding encoding = encodingOf(pane());
    for (std::size_t i = 0; i < std::size(kChoices); ++i) {
        choices_[i]->setChecked(kChoices[i].encoding == encoding);
    }
    const QTextCursor caret = pane()->textCursor();
    // Lines are the document's: a pane holds each as one paragraph, however it is wrapped.
    position_->setText(QStringLiteral("%1 行、%2 列")
                           .arg(caret.blockNumber() + 1)
                           .arg(caret.positionInBlock() + 1));
    const QString which =
        pane() == window_.topPane() ? QStringLiteral("変換元文書") : QStringLiteral("変換後文書");
    position_->setAccessibleName(which + QStringLiteral("の位置"));
    encoding_->setText(nameOf(encoding));
    encoding_->setAccessibleName(which + QStringLiteral("の文字コード"));
}

}  // namespace voxilo
