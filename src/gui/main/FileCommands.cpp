#include "gui/main/FileCommands.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <filesystem>

#include "core/documents/DocumentFile.h"
#include "core/documents/DocumentPaths.h"
#include "gui/dialogs/AppInfo.h"
#include "gui/dialogs/BusyCursor.h"
#include "gui/dialogs/QtText.h"
#include "gui/main/MainWindow.h"
#include "gui/main/PaneText.h"

namespace voxilo {
namespace {

const QString kSaveSource = QStringLiteral("変換元文書を保存しますか。");
const QString kSaveConverted = QStringLiteral("変換後文書を保存しますか。");
const QString kChanged = QStringLiteral("は変更されています。保存しますか。");
const QString kCannotOpen = QStringLiteral("ファイルを開くことができません。");
const QString kDialogFailed = QStringLiteral("エラーが発生しました。");
const QString kOpenTitle = QStringLiteral("ﾌｧｲﾙを開く");
const QString kSaveSourceTitle = QStringLiteral("変換元文書に名前を付けて保存");
const QString kSaveConvertedTitle = QStringLiteral("変換後文書に名前を付けて保存");
const QString kSaveFailed = QStringLiteral("の保存に失敗しました。");
const QString kSourceFile = QStringLiteral("変換元ファイル");
const QString kConvertedFile = QStringLiteral("変換後ファイル");

// An encoding as the file messages name it: the mark is no part of what can be read or written.
QString encodingInMessages(TextEncoding encoding) {
    if (encoding == TextEncoding::Cp932) return QStringLiteral("Shift-JIS (CP932)");
    if (encoding == TextEncoding::Utf8Bom) encoding = TextEncoding::Utf8;
    return QString::fromUtf8(encodingName(encoding).data(),
                             static_cast<qsizetype>(encodingName(encoding).size()));
}

// A file that is not all text in its encoding is still opened; the user hears about it once.
QString damagedBytesText(TextEncoding encoding, std::size_t line) {
    return QStringLiteral(
               "このファイルには %1 として読めないバイトがあります (最初は%2"
               "行目)。\r\n読めない部分は「\uFFFD」で表示しています。")
        .arg(encodingInMessages(encoding))
        .arg(line);
}

// Characters that the encoding cannot hold would become "?" in the file: the user decides.
// CP932 offers a third answer that loses nothing, UTF-8.
QString unwritableText(FileCommands::Pane pane, TextEncoding encoding, std::size_t count,
                       std::size_t line, std::size_t column) {
    QString text = QStringLiteral(
                       "%1には %2 で保存できない文字が%3個あります (最初は%4行目%5"
                       "文字目)。\r\nこれらの文字を「?」に置き換えて保存しますか。\r\n"
                       "「いいえ」をクリックすると、%1は保存しません。")
                       .arg(pane == FileCommands::Pane::Top ? QStringLiteral("変換元文書")
                                                            : QStringLiteral("変換後文書"),
                            encodingInMessages(encoding))
                       .arg(count)
                       .arg(line)
                       .arg(column);
    if (encoding == TextEncoding::Cp932) {
        text += QStringLiteral(
            "\r\n「UTF-8 で保存」をクリックすると、すべての文字をそのまま UTF-8 で保存します。");
    }
    return text;
}
const QString kSaveAsUtf8 = QStringLiteral("UTF-8 で保存(&U)");

// Both panes were to be written to one file, or one pane to the other's.
QString sharedFileText(const QString& name) {
    return QStringLiteral(
               "変換元文書と変換後文書を同じファイル %1 に保存することはできません。\r\n"
               "別の名前を付けて保存してください。")
        .arg(name);
}

bool hasSeparator(const std::u16string& path) {
    return path.find(kPathSeparator) != std::u16string::npos;
}

// Whether two names lead to one file: the same name however spelt, or, for files that exist,
// the same file by any link.
bool sameFile(const std::u16string& one, const std::u16string& other) {
    namespace fs = std::filesystem;
    std::error_code failed;
    if (fs::equivalent(fs::path(one), fs::path(other), failed)) return true;
    const auto normal = [](const std::u16string& name) {
        std::error_code ignored;
        fs::path full = fs::absolute(fs::path(name), ignored).lexically_normal();
        std::u16string text = full.u16string();
#ifdef _WIN32
        // Windows' names do not tell letter case apart.
        for (char16_t& c : text) {
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        }
#endif
        return text;
    };
    return normal(one) == normal(other);
}

}  // namespace

FileCommands::FileCommands(MainWindow& window, AppState& state, ProgramSettings& settings,
                           Dialogs& dialogs, const Actions& actions)
    : QObject(&window), window_(window), state_(state), settings_(settings), dialogs_(dialogs) {
    setObjectName(QStringLiteral("fileCommands"));
    connect(actions.newDocument, &QAction::triggered, this, &FileCommands::newDocument);
    connect(actions.open, &QAction::triggered, this, &FileCommands::open);
    connect(actions.save, &QAction::triggered, this, &FileCommands::save);
    connect(actions.saveAs, &QAction::triggered, this, &FileCommands::saveAs);
}

void FileCommands::refresh() {
    window_.updateTitle();
    window_.updateCommands();
}

Dialogs::Answer FileCommands::askToSave(const QString& question) {
    return dialogs_.message(
        &window_, question, AppInfo::title(),
        state_.exitRequested && closing_ ? Dialogs::Buttons::YesNo : Dialogs::Buttons::YesNoCancel,
        MessageIcon::Question);
}

Dialogs::FileRequest FileCommands::fileRequest(const QString& title,
                                               const QString& fileName) const {
    return {title,
            qtext(settings_.currentPath),
            fileName,
            {QStringLiteral("ﾃｷｽﾄ ﾌｧｲﾙ (*.txt)"), QStringLiteral("すべてのﾌｧｲﾙ (*.*)")},
            QStringLiteral("txt")};
}

// A name chosen in either dialog: the dialogs open in its folder from now on. Folders are kept
// with their closing separator, as they are stored.
void FileCommands::chose(const std::u16string& path) {
    if (hasSeparator(path)) settings_.currentPath = folderPart(path) + kPathSeparator;
}

bool FileCommands::loadTextFile(const std::u16string& path) {
    std::optional<Expected<LoadedDocument, std::error_code>> loaded;
    {
        BusyCursor busy;
        loaded.emplace(loadDocumentFile(std::filesystem::path(path)));
        if (*loaded) {
            setPaneText(*window_.topPane(), (*loaded)->text);
            window_.bottomPane()->clear();
            state_.topEncoding = (*loaded)->encoding;
        }
    }
    if (!*loaded) {
        dialogs_.message(&window_,
                         QString::fromStdString(fileErrorText(loaded->error())) +
                             QStringLiteral("\r\n") + kCannotOpen,
                         AppInfo::title(), Dialogs::Buttons::Ok, MessageIcon::Critical);
        return false;
    }
    if ((*loaded)->replaced > 0) {
        dialogs_.message(&window_,
                         damagedBytesText((*loaded)->encoding, (*loaded)->firstReplacedLine),
                         AppInfo::title(), Dialogs::Buttons::Ok, MessageIcon::Information);
    }
    return true;
}

// The chosen file into the upper pane. Its folder is where the dialogs open next even when it
// cannot be read; its path becomes the pane's file only once it was read, so that a later Save
// never writes over a file the user could not see.
bool FileCommands::openChosen(const std::u16string& path) {
    chose(path);
    if (!loadTextFile(path)) return false;
    state_.topPath = path;
    state_.topHasFile = true;
    state_.bottomPath.clear();
    state_.bottomEncoding = TextEncoding::Cp932;
    state_.topModified = false;
    state_.bottomModified = false;
    return true;
}

// True when the dialog was cancelled or the chosen file was opened.
bool FileCommands::openSourceFile() {
    const Dialogs::FileAnswer answer = dialogs_.openFile(&window_, fileRequest(kOpenTitle, {}));
    switch (answer.outcome) {
        case Dialogs::Outcome::Cancelled:
            return true;
        case Dialogs::Outcome::Failed:
            dialogs_.message(&window_, kDialogFailed, AppInfo::title(), Dialogs::Buttons::Ok,
                             MessageIcon::Critical);
            return false;
        case Dialogs::Outcome::Chosen:
            break;
    }
    return openChosen(answer.path.toStdU16String());
}

// The save dialog for one pane, starting with the name in `path`. A chosen name goes into
// `path` and is returned; "" when the dialog was cancelled or failed.
std::u16string FileCommands::askSaveFileName(std::u16string& path, Pane pane) {
    const Dialogs::FileAnswer answer = dialogs_.saveFile(
        &window_, fileRequest(pane == Pane::Top ? kSaveSourceTitle : kSaveConvertedTitle,
                              qtext(fileNamePart(path))));
    switch (answer.outcome) {
        case Dialogs::Outcome::Cancelled:
            return {};
        case Dialogs::Outcome::Failed:
            dialogs_.message(&window_, kDialogFailed, AppInfo::title(), Dialogs::Buttons::Ok,
                             MessageIcon::Critical);
            return {};
        case Dialogs::Outcome::Chosen:
            break;
    }
    path = answer.path.toStdU16String();
    chose(path);
    return path;
}

// Writes one pane's text to `path` in the pane's encoding, replacing the file whole.
// Characters the encoding cannot hold are only written, as "?", when the user agrees; for CP932
// the user can have the pane saved as UTF-8 instead. A failure is told here.
FileCommands::Written FileCommands::writeTextFile(const std::u16string& path, Pane pane) {
    const QPlainTextEdit& source = pane == Pane::Top ? *window_.topPane() : *window_.bottomPane();
    TextEncoding& encoding = pane == Pane::Top ? state_.topEncoding : state_.bottomEncoding;
    EncodedDocument encoded;
    std::u16string text;
    {
        BusyCursor busy;
        text = paneText(source);
        encoded = encodeDocument(text, encoding);
    }
    if (encoded.unwritable > 0) {
        const bool cp932 = encoding == TextEncoding::Cp932;
        const auto answer = dialogs_.message(
            &window_,
            unwritableText(pane, encoding, encoded.unwritable, encoded.firstLine,
                           encoded.firstColumn),
            AppInfo::title(), cp932 ? Dialogs::Buttons::YesNoOther : Dialogs::Buttons::YesNo,
            MessageIcon::Exclamation, cp932 ? kSaveAsUtf8 : QString());
        if (answer == Dialogs::Answer::Other) {
            encoding = TextEncoding::Utf8;
            BusyCursor busy;
            encoded = encodeDocument(text, encoding);
            window_.updateCommands();  // the status bar names the new encoding
        } else if (answer != Dialogs::Answer::Yes) {
            return Written::Declined;
        }
    }
    std::error_code failure;
    {
        BusyCursor busy;
        failure = saveDocumentFile(std::filesystem::path(path), encoded.bytes);
    }
    if (failure) {
        // Why first, as when a file cannot be opened.
        dialogs_.message(&window_,
                         QString::fromStdString(fileErrorText(failure)) + QStringLiteral("\r\n") +
                             (pane == Pane::Top ? kSourceFile : kConvertedFile) +
                             qtext(fileNamePart(path)) + kSaveFailed,
                         AppInfo::title(), Dialogs::Buttons::Ok, MessageIcon::Exclamation);
        return Written::Failed;
    }
    return Written::Yes;
}

// Decides for each pane first, asking where needed, and writes only once both decisions stand.
// A stop (Cancel, or a save dialog without a name) leaves everything as it was.
void FileCommands::save() {
    using Answer = Dialogs::Answer;

    Answer top = Answer::Yes;
    if (!state_.topHasFile) {
        if (askFirst_) top = askToSave(kSaveSource);
    } else if (!state_.topModified) {
        top = Answer::No;
    } else if (askFirst_) {
        // A name emptied by Save As of an empty pane has nothing to show: ask as for a new one.
        top = state_.topPath.empty() ? askToSave(kSaveSource)
                                     : askToSave(qtext(fileNamePart(state_.topPath)) + kChanged);
    }
    if (top == Answer::Cancel) return;
    std::u16string topTarget = state_.topPath;
    if (topTarget.empty() && top == Answer::Yes) {
        std::u16string name = state_.topPath;
        topTarget = askSaveFileName(name, Pane::Top);
        if (topTarget.empty()) return;
    }

    // The lower pane is asked about whenever it has no name yet, asking first or not.
    Answer bottom = Answer::Yes;
    if (!state_.bottomModified) {
        bottom = Answer::No;
    } else if (state_.bottomPath.empty()) {
        bottom = askToSave(kSaveConverted);
    } else if (askFirst_) {
        bottom = askToSave(qtext(fileNamePart(state_.bottomPath)) + kChanged);
    }
    if (bottom == Answer::Cancel) return;
    std::u16string bottomTarget = state_.bottomPath;
    if (bottomTarget.empty() && bottom == Answer::Yes) {
        std::u16string name = state_.bottomPath;
        bottomTarget = askSaveFileName(name, Pane::Bottom);
        if (bottomTarget.empty()) return;
    }

    const bool writing = top == Answer::Yes || bottom == Answer::Yes;
    if (writing && !namesApart(topTarget, bottomTarget)) return;
    writePanes(top == Answer::Yes, topTarget, bottom == Answer::Yes, bottomTarget);
}

// The names the panes would have after a save: two panes never share a file, where the second
// write would replace the first. Refused with a word, and nothing changes.
bool FileCommands::namesApart(const std::u16string& topTarget, const std::u16string& bottomTarget) {
    if (topTarget.empty() || bottomTarget.empty() || !sameFile(topTarget, bottomTarget)) {
        return true;
    }
    dialogs_.message(&window_, sharedFileText(qtext(fileNamePart(bottomTarget))), AppInfo::title(),
                     Dialogs::Buttons::Ok, MessageIcon::Exclamation);
    return false;
}

// Writes the panes decided on and takes their names. A pane that could not be written, or
// that the user did not want written with "?" in it, stays modified: its text is still only
// in the window.
void FileCommands::writePanes(bool writeTop, const std::u16string& topTarget, bool writeBottom,
                              const std::u16string& bottomTarget) {
    const bool topKept = writeTop && writeTextFile(topTarget, Pane::Top) != Written::Yes;
    const bool bottomKept =
        writeBottom && writeTextFile(bottomTarget, Pane::Bottom) != Written::Yes;
    // A pane that was not written keeps the file it had: a failed Save As to a new place must
    // not tie the document to a file that holds nothing of it.
    if (!topKept) state_.topPath = topTarget;
    if (!bottomKept) state_.bottomPath = bottomTarget;
    state_.topModified = topKept;
    state_.bottomModified = bottomKept;
    refresh();
}

void FileCommands::saveAsking() {
    askFirst_ = true;
    save();
    askFirst_ = false;
}

// When a pane could not be saved the window stays, also after the Options dialog demanded the
// end; New and Open then still offer Cancel.
void FileCommands::saveBeforeClosing() {
    closing_ = true;
    saveAsking();
    closing_ = false;
}

// Always asks for new names, never whether to save; an empty pane is not written and loses its
// name.
void FileCommands::saveAs() {
    const bool topHasText = !window_.topPane()->document()->isEmpty();
    const bool bottomHasText = !window_.bottomPane()->document()->isEmpty();
    std::u16string topTarget;
    std::u16string bottomTarget;
    if (topHasText) {
        std::u16string name = state_.topPath;
        topTarget = askSaveFileName(name, Pane::Top);
        if (topTarget.empty()) return;
    }
    if (bottomHasText) {
        std::u16string name = state_.bottomPath;
        bottomTarget = askSaveFileName(name, Pane::Bottom);
        if (bottomTarget.empty()) return;
    }
    if (!namesApart(topTarget, bottomTarget)) return;
    state_.topHasFile = true;
    writePanes(topHasText, topTarget, bottomHasText, bottomTarget);
}

void FileCommands::newDocument() {
    if (anyModified()) saveAsking();
    if (anyModified()) return;  // kept: the user cancelled, or a pane could not be saved
    // Emptying the panes marks them changed; the flags are cleared after.
    window_.topPane()->clear();
    window_.bottomPane()->clear();
    state_.topHasFile = false;
    state_.topModified = false;
    state_.bottomModified = false;
    state_.topPath.clear();
    state_.bottomPath.clear();
    state_.topEncoding = TextEncoding::Cp932;
    state_.bottomEncoding = TextEncoding::Cp932;
    refresh();
}

void FileCommands::open() {
    if (anyModified()) saveAsking();
    if (anyModified()) return;
    if (openSourceFile()) refresh();
}

void FileCommands::tellOneFileAtATime(const std::u16string& opened) {
    dialogs_.message(&window_,
                     QStringLiteral("ファイルは一度に1つだけ開くことができます。\r\n"
                                    "最初のファイル %1 を開きます。")
                         .arg(qtext(fileNamePart(opened))),
                     AppInfo::title(), Dialogs::Buttons::Ok, MessageIcon::Information);
}

void FileCommands::openPath(const std::u16string& path) {
    if (anyModified()) saveAsking();
    if (anyModified()) return;
    if (openChosen(path)) refresh();
}

}  // namespace voxilo
