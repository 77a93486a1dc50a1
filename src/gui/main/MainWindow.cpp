#include "gui/main/MainWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTime>
#include <QTimer>
#include <QToolBar>

#include "core/cipher/CipherMessages.h"
#include "core/cipher/LineConversion.h"
#include "gui/dialogs/AccessibleComboBox.h"
#include "gui/dialogs/AppInfo.h"
#include "gui/dialogs/BusyCursor.h"
#include "gui/dialogs/QtText.h"
#include "gui/help/HelpCommands.h"
#include "gui/main/CapsLockState.h"
#include "gui/main/DocumentDrops.h"
#include "gui/main/EditCommands.h"
#include "gui/main/EncodingCommands.h"
#include "gui/main/FileCommands.h"
#include "gui/main/PaneSplitter.h"
#include "gui/main/PaneText.h"
#include "gui/options/FontChoice.h"

// The toolbar's pictures are compiled into the library; a static library has to ask for them.
static void loadIcons() { Q_INIT_RESOURCE(icons); }

namespace voxilo {
namespace {

const QString kUntitled = QStringLiteral("無題");

// A toolbar command button: its key (also its tool tip), the picture it shows, and the
// freedesktop icon preferred to that picture when the desktop's theme has one.
struct ToolbarButton {
    const char* key;
    const char* image;
    const char* themeIcon;
};

// The upper pane's text deciphered a paragraph at a time, as decodeLines deciphers the whole
// text: reading a large pane out in one piece costs more than deciphering it. Each paragraph is
// one line of the text, unless it holds a break of its own (a CR, or an LF the pane keeps as
// a paragraph's end), which only the whole text settles: then nothing.
std::optional<DecodedText> decodeParagraphs(const QTextDocument& document, std::int16_t keyCode,
                                            std::int16_t pattern) {
    LineConverter converter(Direction::Decode, keyCode, pattern);
    DecodedText decoded;
    decoded.text.reserve(static_cast<std::size_t>(document.characterCount()) / 4 + 16);
    std::size_t number = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        ++number;
        const std::u16string line = fromPaneText(block.text());
        if (line.find(u'\r') != std::u16string::npos) return std::nullopt;
        if (auto reason = converter.addLine(line, decoded.text)) {
            decoded.error = LineError{number, *reason};
            break;
        }
    }
    return decoded;
}

}  // namespace

MainWindow::MainWindow(AppState& state, ProgramSettings& settings, ValueStore& store,
                       Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent),
      capsLockState(readCapsLock),
      state_(state),
      settings_(settings),
      store_(store),
      dialogs_(dialogs) {
    loadIcons();
    setObjectName(QStringLiteral("frmMain"));
    setContextMenuPolicy(Qt::NoContextMenu);  // the bars are shown from the View menu only
    createMenus();
    createBandBar();
    createPanes(settings);
    createStatusBar();
    files_ = new FileCommands(*this, state_, settings_, dialogs_,
                              {fileNew_, fileOpen_, fileSave_, fileSaveAs_});
    saveStep = [this] { files_->saveBeforeClosing(); };
    new EditCommands(*this, dialogs_, {editCopy_, editCut_, editPaste_, editSelect_},
                     [this] { return activeControl(); });
    new DocumentDrops(*this, *files_);
    encodings_ = new EncodingCommands(*this, state_, *fileMenu_, fileMenuBar1_, *statusBar());

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
    // The next keystroke belongs to the source document, not to the user list.
    top_->setFocus();
    state_.topHasFile = false;
    state_.topModified = false;
    state_.bottomModified = false;
    state_.optionsTab = 1;
    updateTitle();
}

MainWindow::~MainWindow() {
    // Closing moves the focus; by then the commands are on their way out.
    delete encodings_;
    encodings_ = nullptr;
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
    fileMenu_ = file;
    fileNew_ = addCommand(file, "mnuFileNew", QStringLiteral("新規作成(&N)"),
                          QKeySequence(Qt::CTRL | Qt::Key_N));
    fileOpen_ = addCommand(file, "mnuFileOpen", QStringLiteral("開く(&O)"),
                           QKeySequence(Qt::CTRL | Qt::Key_O));
    fileSave_ = addCommand(file, "mnuFileSave", QStringLiteral("保存(&S)"),
                           QKeySequence(Qt::CTRL | Qt::Key_S));
    fileSaveAs_ = addCommand(file, "mnuFileSaveAs", QStringLiteral("名前を付けて保存(&A)"));
    fileMenuBar1_ = file->addSeparator();
    fileMenuBar1_->setObjectName(QStringLiteral("mnuFileBar1"));
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
    help_ = new HelpCommands(*this, dialogs_);
    connect(addCommand(help, "mnuHelpContents", QStringLiteral("Voxiloのﾍﾙﾌﾟ"),
                       QKeySequence(Qt::Key_F1)),
            &QAction::triggered, help_, &HelpCommands::showContents);
    connect(addCommand(help, "mnuHelpTopic", QStringLiteral("ﾄﾋﾟｯｸの検索")), &QAction::triggered,
            help_, &HelpCommands::searchTopics);
    helpAbout_ = addCommand(help, "mnuHelpAbout", QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&A)"));
    connect(helpAbout_, &QAction::triggered, help_, &HelpCommands::showAbout);
}

void MainWindow::createBandBar() {
    // The band bar holds the toolbar and the user list, and is shown or hidden as one.
    // A bar's title is what a screen reader speaks for it.
    bandBar_ = addToolBar(QStringLiteral("ﾂｰﾙﾊﾞｰ"));
    bandBar_->setObjectName(QStringLiteral("CoolBar1"));
    bandBar_->setMovable(false);
    bandBar_->setFloatable(false);

    auto* toolbar = new QToolBar(QStringLiteral("ｺﾏﾝﾄﾞ"), bandBar_);
    toolbar->setObjectName(QStringLiteral("Toolbar1"));
    toolbar->setIconSize(QSize(twips(330) - 6, twips(330) - 6));
    toolbar->setMinimumWidth(twips(3495));
    const std::pair<ToolbarButton, QAction*> commands[] = {
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
    for (const auto& [look, item] : commands) {
        if (item == nullptr) {
            toolbar->addSeparator();
            continue;
        }
        const QString key = QString::fromUtf8(look.key);
        const QIcon picture(
            QStringLiteral(":/icons/%1." VOXILO_ICON_FORMAT).arg(QLatin1String(look.image)));
        QAction* button = toolbar->addAction(
            look.themeIcon ? QIcon::fromTheme(QLatin1String(look.themeIcon), picture) : picture,
            key);
        button->setObjectName(QStringLiteral("tb") + QLatin1String(look.image));
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
    setSpokenName(*userCombo_, userCombo_->toolTip());
    userCombo_->setMinimumWidth(twips(1995));
    connect(userCombo_, &QComboBox::activated, this, [this] { userChosen(); });
    bandBar_->addWidget(userCombo_);
}

void MainWindow::createPanes(const ProgramSettings& settings) {
    const QFont font = paneFont(settings);

    splitter_ = new PaneSplitter(twips(750), twips(800), this);
    splitter_->setObjectName(QStringLiteral("picBorder"));
    splitter_->setHandleWidth(twips(60));
    const std::pair<const char*, const char*> panes[] = {{"txtTop", "変換元文書"},
                                                         {"txtBottom", "変換後文書"}};
    for (const auto& [name, spoken] : panes) {
        auto* pane = new QPlainTextEdit(splitter_);
        pane->setObjectName(QString::fromLatin1(name));
        pane->setAccessibleName(QString::fromUtf8(spoken));
        pane->setFont(font);
        // Ciphertext is one long word; breaking lines anywhere keeps showing it linear.
        pane->setWordWrapMode(QTextOption::WrapAnywhere);
        splitter_->addWidget(pane);
    }
    top_ = qobject_cast<QPlainTextEdit*>(splitter_->widget(0));
    bottom_ = qobject_cast<QPlainTextEdit*>(splitter_->widget(1));
    // The splitter keeps its widgets in the reverse order of their making; a screen reader
    // lists them in this order, and should find the source document first, as it is shown.
    top_->lower();
    top_->setMinimumHeight(twips(750));
    bottom_->setMinimumHeight(1);
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 0);
    setCentralWidget(splitter_);
    // Tab goes from pane to pane to the user list; the panes take no tab characters.
    top_->setTabChangesFocus(true);
    bottom_->setTabChangesFocus(true);
    setTabOrder(top_, bottom_);
    setTabOrder(bottom_, userCombo_);

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

    auto* capsWatch = new QTimer(this);
    connect(capsWatch, &QTimer::timeout, this, [this] {
        if (isActiveWindow()) refreshCapsLock();
    });
    capsWatch->start(250);
}

// The indicator follows the lock itself, wherever it was switched: at start, after every key,
// on activation, and every moment while the window is active.
void MainWindow::refreshCapsLock([[maybe_unused]] const QKeyEvent* event) {
    std::optional<bool> on = capsLockState ? capsLockState() : std::nullopt;
#ifndef Q_OS_WIN
    if (!on && event != nullptr) {
        constexpr quint32 kLockMask = 0x2;  // the X11 state bit of Caps Lock
        on = (event->nativeModifiers() & kLockMask) != 0;
    }
#endif
    if (on) capsLock_->setEnabled(*on);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        refreshCapsLock(static_cast<QKeyEvent*>(event));
    }
    // A dialog has closed: files handed over meanwhile wait no longer, once the command that
    // showed it is done.
    if (watched == this && event->type() == QEvent::WindowUnblocked && !handedFiles_.empty()) {
        QTimer::singleShot(0, this, &MainWindow::openHandedFiles);
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
    refreshCapsLock();
    updateCommands();
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        refreshCapsLock();
        // Outside the event itself: the work may show dialogs, which move the activation.
        QTimer::singleShot(0, this, &MainWindow::activated);
    }
}

void MainWindow::updateTitle() {
    if (!state_.topHasFile) {
        setWindowTitle(AppInfo::title() + QStringLiteral(" [") + kUntitled +
                       QStringLiteral("] - [") + kUntitled + QStringLiteral("]"));
        return;
    }
    const QString bottom = state_.bottomPath.empty() ? kUntitled : qtext(state_.bottomPath);
    setWindowTitle(AppInfo::title() + QStringLiteral(" [") + qtext(state_.topPath) +
                   QStringLiteral("] - [") + bottom + QStringLiteral("]"));
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
    if (encodings_ != nullptr) encodings_->refresh();
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
    const QTextDocument& document = *top_->document();
    // A text of more than one line is never blank.
    if (document.blockCount() == 1 &&
        isBlankForDecoding(fromPaneText(document.firstBlock().text()))) {
        return;
    }
    DecodedText decoded;
    {
        BusyCursor busy;
        if (auto paragraphs = decodeParagraphs(document, state_.keyCode, state_.pattern)) {
            decoded = std::move(*paragraphs);
        } else {
            decoded = decodeLines(paneText(*top_), state_.keyCode, state_.pattern);
        }
        // A decoding that fails changes nothing: the lower pane keeps its text and its state,
        // so that there is never a half-decoded document, nor an empty one, to save.
        if (!decoded.error) setPaneText(*bottom_, decoded.text);
    }
    if (decoded.error) {
        const std::u16string text = undecodableLineText(decoded.error->line) + u"\r\n" +
                                    std::u16string(cipherErrorText(decoded.error->reason));
        dialogs_.message(this, qtext(text), AppInfo::title(), Dialogs::Buttons::Ok,
                         MessageIcon::Exclamation);
    } else {
        dialogs_.beep();
    }
    updateCommands();
}

}  // namespace voxilo
