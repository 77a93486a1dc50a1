// The window's Encode and Decode on a large document, each against setting the text it makes
// into a bare pane; and showing one long ciphertext line of two lengths. Run offscreen; prints
// times and ratios measured in this one run.

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

#include "core/cipher/LineConversion.h"
#include "core/store/SqliteValueStore.h"
#include "gui/main/MainWindow.h"
#include "gui/main/PaneText.h"

namespace {

using namespace voxilo;

// Nothing to show and nothing to say while measuring.
class SilentDialogs final : public Dialogs {
public:
    Answer message(QWidget*, const QString&, const QString&, Buttons, MessageIcon,
                   const QString& = {}) override {
        return Answer::Ok;
    }
    FileAnswer openFile(QWidget*, const FileRequest&) override { return {}; }
    FileAnswer saveFile(QWidget*, const FileRequest&) override { return {}; }
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

void showPane(QPlainTextEdit& pane, const QString& text) {
    pane.setPlainText(text);
    pane.repaint();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // About 10 MB of UTF-16 text: Japanese and ASCII lines.
    std::u16string source;
    const std::u16string line =
        u"吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。 Voxilo 0123456789\r\n";
    while (source.size() < 5'000'000) source += line;

    AppState state;
    state.keyCode = 9;
    state.pattern = 3;
    state.userNames = {u"", u"bench"};
    state.currentUser = u"bench";
    ProgramSettings settings;
    SilentDialogs dialogs;
    QTemporaryDir folder;
    SqliteValueStore store(folder.filePath(QStringLiteral("settings.db")).toStdString());
    MainWindow window(state, settings, store, dialogs);
    window.show();
    setPaneText(*window.topPane(), source);
    const std::u16string cipher = encodeLines(source, state.keyCode, state.pattern);

    QPlainTextEdit bare;
    bare.setWordWrapMode(QTextOption::WrapAnywhere);
    bare.setFont(window.bottomPane()->font());
    bare.resize(window.bottomPane()->size());
    bare.show();

    const double encode = best(
        3, [&] { window.bottomPane()->clear(); }, [&] { window.encode(); });
    const double baseline = best(
        3, [&] { bare.clear(); }, [&] { setPaneText(bare, cipher); });
    std::printf("Encode of %zu code units (%zu of ciphertext): %.3f s\n", source.size(),
                cipher.size(), encode);
    std::printf("Setting that ciphertext into a bare pane:    %.3f s\n", baseline);
    std::printf("Encode / baseline: %.2f (target at most 1.5)\n\n", encode / baseline);

    // Decode of that ciphertext, against setting the text it gives back into a bare pane. The
    // upper pane holds the ciphertext, set untimed.
    setPaneText(*window.topPane(), cipher);
    const std::u16string plain = decodeLines(cipher, state.keyCode, state.pattern).text;
    const double decode = best(
        3, [&] { window.bottomPane()->clear(); }, [&] { window.decode(); });
    const double plainBaseline = best(
        3, [&] { bare.clear(); }, [&] { setPaneText(bare, plain); });
    std::printf("Decode of %zu code units of ciphertext (%zu of text): %.3f s\n", cipher.size(),
                plain.size(), decode);
    std::printf("Setting that text into a bare pane:    %.3f s\n", plainBaseline);
    std::printf("Decode / baseline: %.2f (target at most 1.5)\n\n", decode / plainBaseline);

    // One ciphertext line of 40,000 and of 4,000,000 characters.
    const QString shortLine = QString(40'000, QLatin1Char('7'));
    const QString longLine = QString(4'000'000, QLatin1Char('7'));
    const double shortTime = best(
        3, [&] { bare.clear(); }, [&] { showPane(bare, shortLine); });
    const double longTime = best(
        3, [&] { bare.clear(); }, [&] { showPane(bare, longLine); });
    std::printf("Showing one line of 40,000 characters:    %.4f s\n", shortTime);
    std::printf("Showing one line of 4,000,000 characters: %.4f s\n", longTime);
    std::printf("Ratio for 100 times the length: %.1f (target at most 150: linear)\n",
                longTime / shortTime);
    return 0;
}
