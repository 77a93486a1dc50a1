// Opening a 20 MB CP932 document into the window and saving it again, against setting the same
// text into a bare pane of the same kind, in the same run. Run offscreen; prints times and
// ratios measured in this one run.

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>

#include "core/documents/DocumentFile.h"
#include "core/documents/DocumentFormat.h"
#include "core/store/SqliteValueStore.h"
#include "gui/main/MainWindow.h"
#include "gui/main/PaneText.h"

namespace {

using namespace voxilo;

// Chooses the given files and says nothing.
class ChoosingDialogs final : public Dialogs {
public:
    QString openPath;
    QString savePath;
    Answer message(QWidget*, const QString&, const QString&, Buttons, MessageIcon,
                   const QString& = {}) override {
        return Answer::Yes;
    }
    FileAnswer openFile(QWidget*, const FileRequest&) override {
        return {Outcome::Chosen, openPath};
    }
    FileAnswer saveFile(QWidget*, const FileRequest&) override {
        return {Outcome::Chosen, savePath};
    }
    std::optional<QFont> chooseFont(QWidget*, const QFont&) override { return std::nullopt; }
    void beep() override {}
    int exec(QDialog&) override { return 0; }
};

// Best of `runs`, in seconds: `prepare` runs untimed before each timed `work`.
double best(int runs, const std::function<void()>& prepare, const std::function<void()>& work) {
    double fastest = 1e9;
    for (int i = 0; i < runs; ++i) {
        prepare();
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        work();
        QCoreApplication::processEvents();  // layout and painting of what was set
        fastest = std::min(fastest, static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }
    return fastest;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;

    // About 20 MB of CP932: Japanese lines with some ASCII, as a real document has.
    std::u16string text;
    const std::u16string line =
        u"吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。ｶﾀｶﾅ Voxilo 0123\r\n";
    std::string bytes;
    while (bytes.size() < 20'000'000) {
        text += line;
        if (text.size() % (line.size() * 4096) == 0) bytes = encodeDocument(text).bytes;
    }
    bytes = encodeDocument(text).bytes;
    const QString source = folder.filePath(QStringLiteral("source.txt"));
    std::ofstream(source.toStdString(), std::ios::binary) << bytes;
    const std::u16string loaded = *documentTextFromBytes(bytes);

    AppState state;
    state.userNames = {u"", u"bench"};
    state.currentUser = u"bench";
    ProgramSettings settings;
    ChoosingDialogs dialogs;
    dialogs.openPath = source;
    dialogs.savePath = folder.filePath(QStringLiteral("saved.txt"));
    SqliteValueStore store(folder.filePath(QStringLiteral("settings.db")).toStdString());
    MainWindow window(state, settings, store, dialogs);
    window.show();
    QAction* open = window.findChild<QAction*>(QStringLiteral("mnuFileOpen"));
    QAction* save = window.findChild<QAction*>(QStringLiteral("mnuFileSave"));

    QPlainTextEdit bare;
    bare.setWordWrapMode(QTextOption::WrapAnywhere);
    bare.setFont(window.topPane()->font());
    bare.resize(window.topPane()->size());
    bare.show();

    const double baseline = best(
        3, [&] { bare.clear(); }, [&] { setPaneText(bare, loaded); });
    const double reading = best(
        3, [] {}, [&] { (void)loadDocumentFile(std::filesystem::path(source.toStdU16String())); });
    const double opening = best(
        3,
        [&] {
            window.topPane()->clear();
            state.topModified = state.bottomModified = false;
        },
        [&] { open->trigger(); });
    const double saving = best(
        3,
        [&] {
            state.topModified = true;
            state.topPath = dialogs.savePath.toStdU16String();
            window.updateCommands();
        },
        [&] { save->trigger(); });

    std::printf("Document: %zu bytes of CP932, %zu UTF-16 code units\n", bytes.size(),
                loaded.size());
    std::printf("Setting its text into a bare pane:  %.3f s\n", baseline);
    std::printf(
        "File > 開く into the window:         %.3f s  (%.2f × baseline, target at most 1.5)\n",
        opening, opening / baseline);
    std::printf("  of which reading the file:        %.3f s\n", reading);
    std::printf(
        "File > 保存, flushed to disk:        %.3f s  (%.2f × baseline, target at most 1)\n",
        saving, saving / baseline);
    std::ifstream written(dialogs.savePath.toStdString(), std::ios::binary);
    const std::string back((std::istreambuf_iterator<char>(written)), {});
    std::printf("Saved file equals the opened one: %s\n", back == bytes ? "yes" : "NO");
    return back == bytes ? 0 : 1;
}
