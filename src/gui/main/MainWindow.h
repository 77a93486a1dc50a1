#pragma once

#include <QMainWindow>

#include <map>

#include "core/AppState.h"
#include "core/store/ProgramSettings.h"
#include "core/store/ValueStore.h"
#include "gui/dialogs/Dialogs.h"

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>

class QAction;
class QKeyEvent;
class QComboBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QToolBar;

namespace voxilo {

class FileCommands;
class HelpCommands;
class PaneSplitter;
class EncodingCommands;

// The program's workspace: the source document above, the converted document below, the menus,
// the band bar with the toolbar and the user list, and the status bar.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(AppState& state, ProgramSettings& settings, ValueStore& store, Dialogs& dialogs,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // Lengths of the layout are given in twips, 1/1440 inch: 15 to a pixel at 96 dpi.
    int twips(int length) const;

    // The caption from the documents' paths.
    void updateTitle();
    // Enables each command as the focus, the panes and the clipboard allow.
    void updateCommands();

    // Edit > 暗号化 and Edit > 解読.
    void encode();
    void decode();
    // A toolbar button's click, by the button's key: it runs what the menu item runs.
    void dispatchToolbar(const QString& key);

    // View > ｵﾌﾟｼｮﾝ: the one place the Options dialog is opened from.
    void openOptions();
    // The user switch, as choosing entry `index` of the user list does.
    void chooseUser(int index);

    // A file a later start handed over: opened into the upper pane as File > 開く opens a
    // chosen file, questions first, once no dialog of the program is open and a user is logged
    // in. Several are opened one after another, in the order they came. `namedOthers`: the
    // start that handed it named more files; the user hears that only this one is opened.
    // `done` is called once it was opened, or the user was told why not; a file still
    // waiting when the window goes is never done.
    void openHandedFile(const std::u16string& path, bool namedOthers = false,
                        std::function<void()> done = {});

    // The Help menu's commands.
    HelpCommands& help() const { return *help_; }

    // The save step of closing: saves or keeps the modified panes, asking first.
    std::function<void()> saveStep;
    // Where the Caps Lock indicator learns the lock's state; nothing when the platform cannot
    // tell, and then the key events' own modifier state counts.
    std::function<std::optional<bool>()> capsLockState;

    QPlainTextEdit* topPane() const { return top_; }
    QPlainTextEdit* bottomPane() const { return bottom_; }
    PaneSplitter* splitter() const { return splitter_; }

signals:
    void optionsRequested();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* addCommand(QMenu* menu, const char* name, const QString& caption,
                        const QKeySequence& shortcut = {});
    void createMenus();
    void createBandBar();
    void createPanes(const ProgramSettings& settings);
    void createStatusBar();
    void setCommandEnabled(QAction* item, bool enabled);
    QWidget* activeControl() const;
    void refreshCapsLock(const QKeyEvent* event = nullptr);
    void fillUsers();
    void activated();
    void firstRun();
    void openCommandLineFile();
    bool readyForHandedFiles() const;
    void openHandedFiles();
    void createSendToShortcut();
    void mendSendToShortcut();
    static std::filesystem::path programPath();
    void userChosen();
    void selectUserQuietly(int index);
    void markCurrentUser();

    AppState& state_;
    ProgramSettings& settings_;  // the Options dialog changes it
    ValueStore& store_;
    Dialogs& dialogs_;

    QPlainTextEdit* top_ = nullptr;
    QPlainTextEdit* bottom_ = nullptr;
    PaneSplitter* splitter_ = nullptr;
    FileCommands* files_ = nullptr;
    EncodingCommands* encodings_ = nullptr;
    HelpCommands* help_ = nullptr;
    QToolBar* bandBar_ = nullptr;
    QComboBox* userCombo_ = nullptr;
    QMenu* userMenu_ = nullptr;
    QLabel* capsLock_ = nullptr;
    QLabel* clock_ = nullptr;

    QAction* fileNew_ = nullptr;
    QAction* fileOpen_ = nullptr;
    QAction* fileSave_ = nullptr;
    QAction* fileSaveAs_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QAction* fileMenuBar1_ = nullptr;
    QAction* editCopy_ = nullptr;
    QAction* editCut_ = nullptr;
    QAction* editPaste_ = nullptr;
    QAction* editSelect_ = nullptr;
    QAction* editCoding_ = nullptr;
    QAction* editDecoding_ = nullptr;
    QAction* viewToolBar_ = nullptr;
    QAction* viewStatusBar_ = nullptr;
    QAction* viewOptions_ = nullptr;
    QAction* helpAbout_ = nullptr;

    // The toolbar's command buttons by key, and the menu item each one stands for.
    std::map<QString, QAction*> buttons_;
    std::map<QAction*, QAction*> buttonOfItem_;
    QWidget* lastControl_ = nullptr;  // the focus before the menu bar took it
    bool clipboardHasText_ = false;
    bool placed_ = false;         // the splitter has been centred
    bool activating_ = false;     // the work of an activation is under way
    bool sendToChecked_ = false;  // the SendTo shortcut has been looked at this run
    bool switchingUser_ = false;  // the user list's selection is being set by the program
    struct HandedFile {
        std::u16string path;
        bool namedOthers = false;
        std::function<void()> done;  // tells the start that handed it over
    };
    std::deque<HandedFile> handedFiles_;  // handed over by later starts, not opened yet
    bool openingHanded_ = false;          // one of them is being opened
};

}  // namespace voxilo
