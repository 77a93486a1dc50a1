#pragma once

#include <QObject>

#include <string>

#include "core/AppState.h"
#include "core/store/ProgramSettings.h"
#include "gui/dialogs/Dialogs.h"

class QAction;
class QPlainTextEdit;

namespace voxilo {

class MainWindow;

// The File menu: New, Open, Save and Save As of the two panes, which are saved as a pair, and
// the text files and file dialogs under them. Save is also the save step of everything that
// may discard a document (New, Open, a dropped file, closing the window): asking first then.
class FileCommands : public QObject {
    Q_OBJECT
public:
    struct Actions {
        QAction* newDocument;
        QAction* open;
        QAction* save;
        QAction* saveAs;
    };
    // Which pane a save dialog or a write is for.
    enum class Pane { Top, Bottom };

    FileCommands(MainWindow& window, AppState& state, ProgramSettings& settings, Dialogs& dialogs,
                 const Actions& actions);

    void newDocument();
    void open();
    void save();
    void saveAs();
    // Save, asking about each modified pane before it is saved or dropped. Afterwards both
    // panes are unmodified unless the user kept one (Cancel) or it could not be saved.
    void saveAsking();
    // The save step of closing: while the Options dialog has demanded the program's end, the
    // questions offer only Yes and No.
    void saveBeforeClosing();
    // Opens `path` into the upper pane as File > 開く does when that file is chosen.
    void openPath(const std::u16string& path);
    // Several files were given at once (dropped, named or handed over): the upper pane holds
    // one document, and the user hears that `opened`, the first, is the one opened.
    void tellOneFileAtATime(const std::u16string& opened);

    // Reads the file at `path` into the upper pane and empties the lower one; tells the user
    // why when it cannot, and returns false.
    bool loadTextFile(const std::u16string& path);

private:
    enum class Written { Yes, Failed, Declined };

    bool anyModified() const { return state_.topModified || state_.bottomModified; }
    bool openSourceFile();
    bool openChosen(const std::u16string& path);
    std::u16string askSaveFileName(std::u16string& path, Pane pane);
    Written writeTextFile(const std::u16string& path, Pane pane);
    bool namesApart(const std::u16string& topTarget, const std::u16string& bottomTarget);
    void writePanes(bool writeTop, const std::u16string& topTarget, bool writeBottom,
                    const std::u16string& bottomTarget);
    Dialogs::Answer askToSave(const QString& question);
    Dialogs::FileRequest fileRequest(const QString& title, const QString& fileName) const;
    void chose(const std::u16string& path);
    void refresh();

    MainWindow& window_;
    AppState& state_;
    ProgramSettings& settings_;
    Dialogs& dialogs_;
    bool askFirst_ = false;  // Save asks before saving each pane (New, Open, closing)
    bool closing_ = false;   // the save step of closing is under way
};

}  // namespace voxilo
