#include "app/MainWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTextDocument>
#include <QTime>
#include <QTimer>
#include <QToolBar>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include "app/PaneSplitter.h"
#include "app/PaneText.h"
#include "app/StoreAlerts.h"
#include "cipher/CipherMessages.h"
#include "cipher/LineConversion.h"
#include "documents/DocumentFile.h"
#include "options/PasswordPrompt.h"
#include "platform/BusyCursor.h"
#include "platform/SendToShortcut.h"
#include "store/UserRecords.h"

// The toolbar's pictures are compiled into the library; a static library has to ask for them.
static void loadIcons() { Q_INIT_RESOURCE(icons); }

namespace voxilo {
namespace {

const QString kTitle = QStringLiteral("Voxilo");
const QString kUntitled = QStringLiteral("無題");

QString qtext(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// A toolbar command button: its key (also its tool tip), the picture it shows, and the
// freedesktop icon preferred to that picture when the desktop's theme has one.
struct ButtonSpec {
    const char* key;
    const char* image;
    const char* themeIcon;
};

}  // namespace

MainWindow::MainWindow(AppState& state, const ProgramSettings& settings, ValueStore& store,
                       Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), state_(state), settings_(settings), store_(store), dialogs_(dialogs) {
    loadIcons();
    setObjectName(QStringLiteral("frmMain"));
    setContextMenuPolicy(Qt::NoContextMenu);  // the bars are shown from the View menu only
    createMenus();
    createBandBar();
    createPanes(settings);
    createStatusBar();

    viewToolBar_->setChecked(settings.showToolbar == 1);
    viewStatusBar_->setChecked(settings.showStatusbar == 1);
    bandBar_->setVisible(viewToolBar_->isChecked());
    statusBar()->setVisible(viewStatusBar_->isChecked());

    setMinimumSize(twips(4000), twips(3000));
    resize(twips(10500), twips(8000));

    clipboardHasText_ = !QGuiApplication::clipboard()->text().isEmpty();
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
        clipboardHasText_ = !QGuiApplication::clipboard()->text().isEmpty();
        updateCommands();
    });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now != nullptr && now != menuBar() && now->window() == this) lastControl_ = now;
        updateCommands();
    });
    qApp->installEventFilter(this);  // for the Caps Lock indicator

    fillUsers();
    state_.topHasFile = false;
    state_.topModified = false;
    state_.bottomModified = false;
    state_.optionsTab = 1;
    updateTitle();
}

MainWindow::~MainWindow() {
    // Closing moves the focus; by then the commands are on their way out.
    disconnect(qApp, nullptr, this, nullptr);
    disconnect(QGuiApplication::clipboard(), nullptr, this, nullptr);
}

int MainWindow::twips(int length) const {
    const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
    const double dpi = shown ? shown->logicalDotsPerInchY() : 96.0;
    return static_cast<int>(length * dpi / 1440.0 + 0.5);
}

QAction* MainWindow::addCommand(QMenu* menu, const char* name, const QString& caption,
                                const QKeySequence& shortcut) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(QString::fromLatin1(name));
    item->setShortcut(shortcut);
    return item;
}

void MainWindow::createMenus() {
    menuBar()->setObjectName(QStringLiteral("menuBar"));
    QMenu* file = menuBar()->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    file->setObjectName(QStringLiteral("mnuFile"));
    fileNew_ = addCommand(file, "mnuFileNew", QStringLiteral("新規作成(&N)"),
                          QKeySequence(Qt::CTRL | Qt::Key_N));
    fileOpen_ = addCommand(file, "mnuFileOpen", QStringLiteral("開く(&O)"),
                           QKeySequence(Qt::CTRL | Qt::Key_O));
    fileSave_ = addCommand(file, "mnuFileSave", QStringLiteral("保存(&S)"),
                           QKeySequence(Qt::CTRL | Qt::Key_S));
    fileSaveAs_ = addCommand(file, "mnuFileSaveAs", QStringLiteral("名前を付けて保存(&A)"));
    file->addSeparator()->setObjectName(QStringLiteral("mnuFileBar1"));
    userMenu_ = file->addMenu(QStringLiteral("ﾕｰｻﾞｰの変更"));
    userMenu_->setObjectName(QStringLiteral("mnuFileUser"));
    file->addSeparator()->setObjectName(QStringLiteral("mnuFileBar2"));
    QAction* exit = addCommand(file, "mnuFileExit", QStringLiteral("終了(&X)"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    editCopy_ = addCommand(edit, "mnuEditCopy", QStringLiteral("ｺﾋﾟｰ(&C)"),
                           QKeySequence(Qt::CTRL | Qt::Key_C));
    editCut_ = addCommand(edit, "mnuEditCut", QStringLiteral("切り取り(&X)"),
                          QKeySequence(Qt::CTRL | Qt::Key_X));
    editPaste_ = addCommand(edit, "mnuEditPaste", QStringLiteral("貼り付け(&V)"),
                            QKeySequence(Qt::CTRL | Qt::Key_V));
    editSelect_ = addCommand(edit, "mnuEditSelect", QStringLiteral("すべて選択"),
                             QKeySequence(Qt::CTRL | Qt::Key_A));
    edit->addSeparator()->setObjectName(QStringLiteral("mnuEditBar1"));
    editCoding_ = addCommand(edit, "mnuEditCoding", QStringLiteral("暗号化"),
                             QKeySequence(Qt::CTRL | Qt::Key_L));
    editDecoding_ = addCommand(edit, "mnuEditDecoding", QStringLiteral("解読"),
                               QKeySequence(Qt::CTRL | Qt::Key_U));
    connect(editCoding_, &QAction::triggered, this, &MainWindow::encode);
    connect(editDecoding_, &QAction::triggered, this, &MainWindow::decode);

    QMenu* view = menuBar()->addMenu(QStringLiteral("表示(&V)"));
    view->setObjectName(QStringLiteral("mnuView"));
    viewToolBar_ = addCommand(view, "mnuViewToolBar", QStringLiteral("ﾂｰﾙﾊﾞｰ"));
    viewStatusBar_ = addCommand(view, "mnuViewStatusBar", QStringLiteral("ｽﾃｰﾀｽﾊﾞｰ"));
    viewToolBar_->setCheckable(true);
    viewStatusBar_->setCheckable(true);
    connect(viewToolBar_, &QAction::toggled, this,
            [this](bool shown) { bandBar_->setVisible(shown); });
    connect(viewStatusBar_, &QAction::toggled, this,
            [this](bool shown) { statusBar()->setVisible(shown); });
    view->addSeparator()->setObjectName(QStringLiteral("mnuViewBar1"));
    viewOptions_ = addCommand(view, "mnuViewOptions", QStringLiteral("ｵﾌﾟｼｮﾝ(&O)"));
    connect(viewOptions_, &QAction::triggered, this, &MainWindow::openOptions);

    QMenu* help = menuBar()->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    addCommand(help, "mnuHelpContents", QStringLiteral("Voxiloのﾍﾙﾌﾟ"), QKeySequence(Qt::Key_F1));
    addCommand(help, "mnuHelpTopic", QStringLiteral("ﾄﾋﾟｯｸの検索"));
    helpAbout_ = addCommand(help, "mnuHelpAbout", QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&A)"));
}

void MainWindow::createBandBar() {
    // The band bar holds the toolbar and the user list, and is shown or hidden as one.
    bandBar_ = addToolBar(QStringLiteral("CoolBar1"));
    bandBar_->setObjectName(QStringLiteral("CoolBar1"));
    bandBar_->setMovable(false);
    bandBar_->setFloatable(false);

    auto* toolbar = new QToolBar(QStringLiteral("Toolbar1"), bandBar_);
    toolbar->setObjectName(QStringLiteral("Toolbar1"));
    toolbar->setIconSize(QSize(twips(330) - 6, twips(330) - 6));
    toolbar->setMinimumWidth(twips(3495));
    const std::pair<ButtonSpec, QAction*> commands[] = {
        {{"新規作成", "New", "document-new"}, fileNew_},
        {{"開く", "Open", "document-open"}, fileOpen_},
        {{"上書き保存", "Save", "document-save"}, fileSave_},
        {{nullptr, nullptr, nullptr}, nullptr},
        {{"ｺﾋﾟｰ", "Copy", "edit-copy"}, editCopy_},
        {{"切り取り", "Cut", "edit-cut"}, editCut_},
        {{"貼り付け", "Paste", "edit-paste"}, editPaste_},
        {{nullptr, nullptr, nullptr}, nullptr},
        {{"ｵﾌﾟｼｮﾝ", "Properties", "document-properties"}, viewOptions_},
        {{nullptr, nullptr, nullptr}, nullptr},
        {{"暗号化", "Coding", nullptr}, editCoding_},
        {{"解読", "Decoding", nullptr}, editDecoding_},
    };
    for (const auto& [spec, item] : commands) {
        if (item == nullptr) {
            toolbar->addSeparator();
            continue;
        }
        const QString key = QString::fromUtf8(spec.key);
        const QIcon picture(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(spec.image)));
        QAction* button = toolbar->addAction(
            spec.themeIcon ? QIcon::fromTheme(QLatin1String(spec.themeIcon), picture) : picture,
            key);
        button->setObjectName(QStringLiteral("tb") + QLatin1String(spec.image));
        button->setToolTip(key);
        button->setData(key);
        buttons_[key] = button;
        buttonOfItem_[item] = button;
    }
    connect(toolbar, &QToolBar::actionTriggered, this,
            [this](QAction* button) { dispatchToolbar(button->data().toString()); });
    bandBar_->addWidget(toolbar);

    userCombo_ = new QComboBox(bandBar_);
    userCombo_->setObjectName(QStringLiteral("cboUser"));
    userCombo_->setToolTip(QStringLiteral("現在のﾛｸﾞｲﾝﾕｰｻﾞｰ"));
    userCombo_->setMinimumWidth(twips(1995));
    connect(userCombo_, &QComboBox::activated, this, [this] { userChosen(); });
    bandBar_->addWidget(userCombo_);
}

void MainWindow::createPanes(const ProgramSettings& settings) {
    QFont font(qtext(settings.fontName));
    font.setPointSize(settings.fontSize > 0 ? settings.fontSize : 11);
    font.setBold(settings.fontBold);
    font.setItalic(settings.fontItalic);

    splitter_ = new PaneSplitter(twips(750), twips(800), this);
    splitter_->setObjectName(QStringLiteral("picBorder"));
    splitter_->setHandleWidth(twips(60));
    for (const char* name : {"txtTop", "txtBottom"}) {
        auto* pane = new QPlainTextEdit(splitter_);
        pane->setObjectName(QString::fromLatin1(name));
        pane->setFont(font);
        // Ciphertext is one long word; breaking lines anywhere keeps showing it linear.
        pane->setWordWrapMode(QTextOption::WrapAnywhere);
        splitter_->addWidget(pane);
    }
    top_ = qobject_cast<QPlainTextEdit*>(splitter_->widget(0));
    bottom_ = qobject_cast<QPlainTextEdit*>(splitter_->widget(1));
    top_->setMinimumHeight(twips(750));
    bottom_->setMinimumHeight(1);
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 0);
    setCentralWidget(splitter_);
    setTabOrder(top_, bottom_);

    // Each change of a pane marks its document changed.
    connect(top_, &QPlainTextEdit::textChanged, this, [this] {
        state_.topModified = true;
        updateCommands();
    });
    connect(bottom_, &QPlainTextEdit::textChanged, this, [this] {
        state_.bottomModified = true;
        updateCommands();
    });
    for (QPlainTextEdit* pane : {top_, bottom_}) {
        connect(pane, &QPlainTextEdit::selectionChanged, this, [this] { updateCommands(); });
    }
}

void MainWindow::createStatusBar() {
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    capsLock_ = new QLabel(QStringLiteral("CAPS"), statusBar());
    capsLock_->setObjectName(QStringLiteral("capsLock"));
    capsLock_->setEnabled(false);
    clock_ = new QLabel(statusBar());
    clock_->setObjectName(QStringLiteral("clock"));
    statusBar()->addPermanentWidget(capsLock_);
    statusBar()->addPermanentWidget(clock_);
    auto* tick = new QTimer(this);
    const auto showTime = [this] {
        clock_->setText(QTime::currentTime().toString(QStringLiteral("H:mm")));
    };
    connect(tick, &QTimer::timeout, this, showTime);
    tick->start(1000);
    showTime();
}

void MainWindow::showCapsLock(bool on) { capsLock_->setEnabled(on); }

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
#ifdef Q_OS_WIN
        showCapsLock((GetKeyState(VK_CAPITAL) & 1) != 0);
#else
        constexpr quint32 kLockMask = 0x2;  // the X11 state bit of Caps Lock
        showCapsLock((static_cast<QKeyEvent*>(event)->nativeModifiers() & kLockMask) != 0);
#endif
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!placed_) {  // the splitter starts in the middle
        placed_ = true;
        const int room = splitter_->height() - splitter_->handleWidth();
        splitter_->setSizes({room - room / 2, room / 2});
    }
    updateCommands();
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        // Outside the event itself: the work may show dialogs, which move the activation.
        QTimer::singleShot(0, this, &MainWindow::activated);
    }
}

// The user list and the File menu's user items, the current user's selected and checked.
void MainWindow::fillUsers() {
    switchingUser_ = true;
    userCombo_->clear();
    userMenu_->clear();
    for (std::size_t i = 1; i < state_.userNames.size(); ++i) {
        const QString name = qtext(state_.userNames[i]);
        userCombo_->addItem(name);
        QAction* entry = userMenu_->addAction(name);
        entry->setObjectName(QStringLiteral("mnuFileUserName%1").arg(i - 1));
        entry->setCheckable(true);
        const int index = static_cast<int>(i - 1);
        connect(entry, &QAction::triggered, this, [this, index] { chooseUser(index); });
    }
    userCombo_->setCurrentIndex(userCombo_->findText(qtext(state_.currentUser), Qt::MatchExactly));
    switchingUser_ = false;
    markCurrentUser();
}

void MainWindow::markCurrentUser() {
    for (QAction* entry : userMenu_->actions()) {
        entry->setChecked(entry->text().toStdU16String() == state_.currentUser);
    }
}

// Each time the window becomes active: the command states; once, the command-line file; and,
// while nobody is registered, the first-run path.
void MainWindow::activated() {
    if (activating_ || !isActiveWindow()) return;
    activating_ = true;
    updateCommands();
    if (!state_.exitRequested) {
        if (state_.userNames.size() <= 1) firstRun();
        if (!state_.commandLineFile.empty() && isVisible()) openCommandLineFile();
    }
    activating_ = false;
}

void MainWindow::firstRun() {
    dialogs_.message(
        this,
        QStringLiteral(
            "Voxiloをご利用いただき誠にありがとうございます。\r\n\r\n"
            "本ソフトを使用する際のセキュリティ確保のため、ユーザー名とパスワードをご登録ください。"),
        kTitle, Dialogs::Buttons::Ok, MessageIcon::Information);
    state_.optionsTab = 2;
    openOptions();
    createSendToShortcut();
    if (userCombo_->count() > 0) chooseUser(0);
    if (state_.currentUser.empty()) close();  // File > 終了: nobody may use the program
}

void MainWindow::openOptions() {
    // The Options dialog plugs in here.
    emit optionsRequested();
    fillUsers();
}

void MainWindow::createSendToShortcut() {
    if (const auto flag = readSendToFlag(store_, state_.settingsKey); flag.failure) {
        showStoreFailure(dialogs_, this, *flag.failure);
        return;
    } else if (flag.value == -1) {
        return;  // made once already
    }
    // A failure is not told of: the next first run tries again.
    const std::filesystem::path executable =
        QCoreApplication::applicationFilePath().toStdU16String();
    if (voxilo::createSendToShortcut(executable)) writeSendToFlag(store_, state_.settingsKey);
}

void MainWindow::openCommandLineFile() {
    const std::u16string file = state_.commandLineFile;
    state_.commandLineFile.clear();  // once only
    if (file == kCommandLineFileMissing) {
        dialogs_.message(this, QStringLiteral("指定されたファイルを開くことができませんでした。"),
                         kTitle, Dialogs::Buttons::Ok, MessageIcon::Critical);
        return;
    }
    state_.topPath = file;
    std::optional<std::u16string> text;
    QString failure;
    {
        BusyCursor busy;
        auto loaded = loadDocumentFile(std::filesystem::path(file));
        if (loaded) {
            text = std::move(*loaded);
        } else {
            failure = QString::fromStdString(loaded.error());
        }
    }
    if (!text) {
        dialogs_.message(this, failure + QStringLiteral("\r\nファイルを開くことができません。"),
                         kTitle, Dialogs::Buttons::Ok, MessageIcon::Critical);
        return;
    }
    setPaneText(*top_, *text);
    bottom_->clear();
    state_.topHasFile = true;
    state_.bottomPath.clear();
    state_.topModified = false;
    state_.bottomModified = false;
    updateTitle();
    updateCommands();
}

// Choosing a user from the File menu selects the entry in the list, which switches as choosing
// it there does.
void MainWindow::chooseUser(int index) {
    if (index < 0 || index >= userCombo_->count()) return;
    userCombo_->setCurrentIndex(index);
    userChosen();
}

void MainWindow::selectUserQuietly(int index) {
    switchingUser_ = true;
    userCombo_->setCurrentIndex(index);
    switchingUser_ = false;
}

// The user switch: the chosen user's password, then their key code and pattern.
void MainWindow::userChosen() {
    if (switchingUser_) return;
    const std::u16string chosen = userCombo_->currentText().toStdU16String();
    if (chosen != state_.currentUser) {
        const auto password = readPassword(store_, state_.settingsKey, chosen);
        if (password.failure) showStoreFailure(dialogs_, this, *password.failure);
        if (PasswordPrompt::confirm(state_, dialogs_, this, PasswordPrompt::kLogIn, chosen,
                                    password.value)) {
            state_.currentUser = chosen;
            const auto keyCode = readKeyCode(store_, state_.settingsKey, chosen);
            if (keyCode.failure) showStoreFailure(dialogs_, this, *keyCode.failure);
            const auto pattern = readPattern(store_, state_.settingsKey, chosen);
            if (pattern.failure) showStoreFailure(dialogs_, this, *pattern.failure);
            state_.keyCode = keyCode.value;
            state_.pattern = pattern.value;
        } else {
            // Put the list back on the current user (no entry when nobody is logged in).
            selectUserQuietly(-1);
            selectUserQuietly(userCombo_->findText(qtext(state_.currentUser), Qt::MatchExactly));
        }
        markCurrentUser();
        if (state_.currentUser.empty()) {
            const auto answer = dialogs_.message(
                this,
                QStringLiteral(
                    "ログインせずにVoxiloを利用することはできません。\r\nログインしますか。\r\n"
                    "「いいえ」をクリックするとアプリケーションを終了します。"),
                kTitle, Dialogs::Buttons::YesNo, MessageIcon::Question);
            if (answer == Dialogs::Answer::Yes) {
                chooseUser(0);
                return;
            }
        }
    }
    state_.promptAccepted = false;
    if (top_->isVisible()) top_->setFocus();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if ((state_.topModified || state_.bottomModified) && saveStep) {
        saveStep();
        if ((state_.topModified || state_.bottomModified) && !state_.exitRequested) {
            event->ignore();  // a document is still unsaved: the window stays
            return;
        }
    }
    if (const auto failure = saveCurrentPath(store_, state_.settingsKey, settings_.currentPath)) {
        showStoreFailure(dialogs_, this, *failure);
    }
    event->accept();
}

void MainWindow::updateTitle() {
    if (!state_.topHasFile) {
        setWindowTitle(kTitle + QStringLiteral(" [") + kUntitled + QStringLiteral("] - [") +
                       kUntitled + QStringLiteral("]"));
        return;
    }
    const QString bottom = state_.bottomPath.empty() ? kUntitled : qtext(state_.bottomPath);
    setWindowTitle(kTitle + QStringLiteral(" [") + qtext(state_.topPath) + QStringLiteral("] - [") +
                   bottom + QStringLiteral("]"));
}

void MainWindow::setCommandEnabled(QAction* item, bool enabled) {
    item->setEnabled(enabled);
    if (auto found = buttonOfItem_.find(item); found != buttonOfItem_.end()) {
        found->second->setEnabled(enabled);
    }
}

// The window's own focus widget, which still names the pane while a menu or a dialog is open.
// Opening a menu from the keyboard gives the menu bar the focus: the control before it counts.
QWidget* MainWindow::activeControl() const {
    QWidget* focused = focusWidget();
    return focused == menuBar() ? lastControl_ : focused;
}

void MainWindow::updateCommands() {
    if (!isVisible()) return;
    const QWidget* active = activeControl();
    const QString name = active ? active->objectName() : QString();
    const bool inPane = name == QLatin1String("txtTop") || name == QLatin1String("txtBottom");
    const bool selection =
        inPane && (name == QLatin1String("txtTop") ? top_ : bottom_)->textCursor().hasSelection();
    const bool modified = state_.topModified || state_.bottomModified;
    const bool topHasText = !top_->document()->isEmpty();

    setCommandEnabled(fileNew_, true);
    setCommandEnabled(fileOpen_, true);
    setCommandEnabled(fileSave_, modified);
    setCommandEnabled(fileSaveAs_, state_.topHasFile || modified);
    setCommandEnabled(editCopy_, selection);
    setCommandEnabled(editCut_, selection);
    setCommandEnabled(editPaste_, inPane && clipboardHasText_);
    setCommandEnabled(editCoding_, inPane && topHasText);
    setCommandEnabled(editDecoding_, inPane && topHasText);
    for (QAction* always : {editSelect_, viewToolBar_, viewStatusBar_, viewOptions_, helpAbout_}) {
        setCommandEnabled(always, true);
    }
}

void MainWindow::dispatchToolbar(const QString& key) {
    for (const auto& [item, button] : buttonOfItem_) {
        if (button->data().toString() == key) {
            item->trigger();
            return;
        }
    }
}

void MainWindow::encode() {
    {
        BusyCursor busy;
        const std::u16string cipher = encodeLines(paneText(*top_), state_.keyCode, state_.pattern);
        setPaneText(*bottom_, cipher);
    }
    dialogs_.beep();
    updateCommands();
}

void MainWindow::decode() {
    const std::u16string source = paneText(*top_);
    if (isBlankForDecoding(source)) return;
    DecodedText decoded;
    {
        BusyCursor busy;
        decoded = decodeLines(source, state_.keyCode, state_.pattern);
        setPaneText(*bottom_, decoded.text);
    }
    if (decoded.error) {
        // The lower pane keeps the lines decoded before the one that failed.
        const std::u16string text = undecodableLineText(decoded.error->line) + u"\r\n" +
                                    std::u16string(cipherErrorText(decoded.error->reason));
        dialogs_.message(this, qtext(text), kTitle, Dialogs::Buttons::Ok, MessageIcon::Exclamation);
    } else {
        dialogs_.beep();
    }
    updateCommands();
}

}  // namespace voxilo
