#include "gui/dialogs/QtDialogs.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QGroupBox>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <optional>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace voxilo {
namespace {

QMessageBox::Icon iconOf(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Information:
            return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

QString iconMeaning(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Critical:
            return QStringLiteral("エラー");
        case MessageIcon::Exclamation:
            return QStringLiteral("警告");
        case MessageIcon::Question:
            return QStringLiteral("質問");
        case MessageIcon::Information:
            return QStringLiteral("情報");
    }
    return {};
}

#ifdef Q_OS_WIN
// While Windows' own file dialog runs, Qt counts the window under it as blocked by a stand-in
// for the dialog that is never on screen. When the dialog ends, the system activates its owner,
// and Qt would pass that activation on to the invisible stand-in: under Wine the keyboard then
// goes to a window that is about to be destroyed, and the window stays inactive until clicked.
// This keeps the activation, and the keyboard, on the window itself until Qt has let go of the
// stand-in; `handBack` then tells Qt that the window has the focus.
class KeepActivation : public QAbstractNativeEventFilter {
public:
    explicit KeepActivation(QWidget& window)
        : window_(window), handle_(reinterpret_cast<HWND>(window.winId())) {
        qApp->installNativeEventFilter(this);
    }
    ~KeepActivation() override { qApp->removeNativeEventFilter(this); }
    KeepActivation(const KeepActivation&) = delete;
    KeepActivation& operator=(const KeepActivation&) = delete;

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override {
        if (type != "windows_generic_MSG") return false;
        const auto* msg = static_cast<const MSG*>(message);
        if (msg->hwnd != handle_) return false;
        switch (msg->message) {
            case WM_ACTIVATE:
                if (LOWORD(msg->wParam) == WA_INACTIVE) return false;
                // The system's own handling gives the window the focus.
                *result = DefWindowProcW(msg->hwnd, msg->message, msg->wParam, msg->lParam);
                return true;
            case WM_SETFOCUS:
                *result = 0;
                return true;
            default:
                return false;
        }
    }

    void handBack() {
        qApp->removeNativeEventFilter(this);
        if (!window_.isVisible()) return;
        // Qt did not see the focus arrive; it learns of it from a fresh one.
        if (GetFocus() == handle_) SetFocus(nullptr);
        SetForegroundWindow(handle_);
        SetFocus(handle_);
    }

private:
    QWidget& window_;
    const HWND handle_;
};
#endif

Dialogs::FileAnswer runFileDialog(QWidget* parent, const Dialogs::FileRequest& request,
                                  QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, request.title, request.folder);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
#ifdef Q_OS_WIN
    dialog.setNameFilters(request.filters);
#else
    // "*.*" means every file on Windows; elsewhere it would hide names without a dot.
    QStringList filters = request.filters;
    for (QString& filter : filters) filter.replace(QStringLiteral("(*.*)"), QStringLiteral("(*)"));
    dialog.setNameFilters(filters);
#endif
    if (mode == QFileDialog::AcceptSave) {
        // Only a name to save under takes the suffix: a typed name to open is the file's own.
        dialog.setDefaultSuffix(request.defaultSuffix);
        // Some dialogs (GTK's, a portal's) ask about the name as typed and add the suffix only
        // afterwards, so "memo" would replace memo.txt unasked. The caller asks about the final
        // name instead, whichever dialog the desktop gives.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    }
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
    // Whether accepted or cancelled, the dialog leaves its window active, with the keyboard in
    // the control that had it, so that a person can type on at once.
    QWidget* const window = parent != nullptr ? parent->window() : nullptr;
    const QPointer<QWidget> focused = window != nullptr ? window->focusWidget() : nullptr;
#ifdef Q_OS_WIN
    std::optional<KeepActivation> keepActivation;
    if (window != nullptr && QGuiApplication::platformName() == QLatin1String("windows"))
        keepActivation.emplace(*window);
#endif
    const int result = dialog.exec();
#ifdef Q_OS_WIN
    if (keepActivation) keepActivation->handBack();
#endif
    if (window != nullptr && window->isVisible()) {
        window->activateWindow();
        if (focused) focused->setFocus(Qt::OtherFocusReason);
    }
    if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return {Dialogs::Outcome::Chosen, QDir::toNativeSeparators(dialog.selectedFiles().first())};
}

// Keys that reach a question in its first moments were typed for what was there before it: a
// letter meant for the pane must not answer "いいえ" through its access key, nor Enter "はい".
// They are swallowed, wherever in the box they land.
class SettlingKeys : public QObject {
public:
    explicit SettlingKeys(QWidget& box, int settleMilliseconds)
        : box_(box), settle_(settleMilliseconds) {
        qApp->installEventFilter(this);
    }
    ~SettlingKeys() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Show:
                if (watched == &box_) since_.start();
                break;
            case QEvent::KeyPress:
            case QEvent::ShortcutOverride:
                if (inBox(watched) && (!since_.isValid() || since_.elapsed() < settle_)) {
                    event->accept();  // a ShortcutOverride taken here triggers no access key
                    return true;
                }
                break;
            default:
                break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool inBox(QObject* object) const {
        auto* widget = qobject_cast<QWidget*>(object);
        return widget != nullptr && (widget == &box_ || box_.isAncestorOf(widget));
    }

    QWidget& box_;
    const int settle_;
    QElapsedTimer since_;
};

QString replaceQuestion(const QString& path) {
    return QStringLiteral("%1 は既に存在します。\r\n上書きしますか?")
        .arg(QFileInfo(path).fileName());
}

}  // namespace

bool QtDialogs::AnswerRequired::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Close:
            event->ignore();
            return true;
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
                event->accept();
                return true;
            }
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

Dialogs::Answer QtDialogs::message(QWidget* parent, const QString& text, const QString& title,
                                   Buttons buttons, MessageIcon icon, const QString& other) {
    // Enter answers with the first button, as on Windows: OK, or はい, so that Enter at a save
    // question saves and never throws a document away. A question of only Yes and No must be
    // answered: Escape and the close box would otherwise answer No.
    const Answer first =
        buttons == Buttons::Ok || buttons == Buttons::OkCancel ? Answer::Ok : Answer::Yes;
    const bool mustAnswer = buttons == Buttons::YesNo || buttons == Buttons::YesNoOther;
    return ask(parent, text, title, buttons, icon, first,
               mustAnswer ? Escape::Refused : Escape::Answers, other);
}

Dialogs::Answer QtDialogs::ask(QWidget* parent, const QString& text, const QString& title,
                               Buttons buttons, MessageIcon icon, Answer preferred, Escape escape,
                               const QString& other) {
    // Message texts break their lines with CR LF; a Qt label breaks at LF alone.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(iconOf(icon), title, shown, QMessageBox::NoButton, parent);
    // The picture is spoken by what it means.
    if (auto* picture = box.findChild<QLabel*>(QStringLiteral("qt_msgboxex_icon_label"))) {
        picture->setAccessibleName(iconMeaning(icon));
    }
    switch (buttons) {
        case Buttons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case Buttons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case Buttons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setEscapeButton(QMessageBox::No);
            break;
        case Buttons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case Buttons::YesNoOther:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
    }
    QAbstractButton* otherButton =
        buttons == Buttons::YesNoOther ? box.addButton(other, QMessageBox::ActionRole) : nullptr;
    if (escape == Escape::Refused) {
        box.setWindowFlags((box.windowFlags() & ~Qt::WindowCloseButtonHint) |
                           Qt::CustomizeWindowHint | Qt::WindowTitleHint);
        box.installEventFilter(&answerRequired_);
    }
    // The desktop decides where each button stands (GNOME puts いいえ before はい), never which
    // one Enter presses: the default and the focus are set here, by answer.
    const QMessageBox::StandardButton defaultButton = [preferred] {
        switch (preferred) {
            case Answer::Ok:
                return QMessageBox::Ok;
            case Answer::Cancel:
                return QMessageBox::Cancel;
            case Answer::Yes:
                return QMessageBox::Yes;
            case Answer::No:
                return QMessageBox::No;
            case Answer::Other:
                break;
        }
        return QMessageBox::Ok;
    }();
    box.setDefaultButton(defaultButton);
    std::optional<SettlingKeys> settling;
    if (buttons != Buttons::Ok) settling.emplace(box, kSettleMilliseconds);
    const int result = box.exec();
    if (otherButton != nullptr && box.clickedButton() == static_cast<QAbstractButton*>(otherButton))
        return Answer::Other;
    switch (result) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        case QMessageBox::Cancel:
            return Answer::Cancel;
        default:
            return Answer::Ok;
    }
}

Dialogs::FileAnswer QtDialogs::openFile(QWidget* parent, const FileRequest& request) {
    return runFileDialog(parent, request, QFileDialog::AcceptOpen);
}

// The question about replacing a file is asked here, about the name the dialog returned with
// its suffix; いいえ brings the dialog back with that name.
Dialogs::FileAnswer QtDialogs::saveFile(QWidget* parent, const FileRequest& request) {
    FileRequest next = request;
    for (;;) {
        const FileAnswer answer = runFileDialog(parent, next, QFileDialog::AcceptSave);
        if (answer.outcome != Outcome::Chosen) return answer;
        const QFileInfo target(answer.path);
        if (!target.exists() && !target.isSymLink()) return answer;
        if (ask(parent, replaceQuestion(answer.path), request.title, Buttons::YesNo,
                MessageIcon::Exclamation, Answer::No, Escape::Answers) == Answer::Yes) {
            return answer;
        }
        next.folder = QDir::toNativeSeparators(target.absolutePath());
        next.fileName = target.fileName();
    }
}

std::optional<QFont> QtDialogs::chooseFont(QWidget* parent, const QFont& initial) {
    constexpr int kSmallest = 8;
    constexpr int kLargest = 72;
    // Qt's own dialog, so that it looks and limits the same everywhere: scalable fonts only,
    // sizes from 8 to 72 points, and no effects (underline, strike-out), which the program
    // never takes over.
    QFontDialog dialog(initial, parent);
    dialog.setOptions(QFontDialog::DontUseNativeDialog | QFontDialog::ScalableFonts);
    for (QCheckBox* effect : dialog.findChildren<QCheckBox*>()) {
        if (auto* frame = qobject_cast<QGroupBox*>(effect->parentWidget())) frame->hide();
    }
    for (QLineEdit* box : dialog.findChildren<QLineEdit*>()) {
        // The sample shared its row with the effects; it keeps room to show the font.
        if (box->objectName() == QLatin1String("qt_fontDialog_sampleEdit")) {
            box->setMinimumHeight(box->fontMetrics().height() * 3);
        }
        if (qobject_cast<const QIntValidator*>(box->validator())) {
            box->setValidator(new QIntValidator(kSmallest, kLargest, box));
        }
    }
    for (QListView* list : dialog.findChildren<QListView*>()) {
        // The size list is the one of numbers; it is filled anew for every face and style.
        const auto hideOthers = [list] {
            const QAbstractItemModel* model = list->model();
            for (int row = 0; row < model->rowCount(); ++row) {
                bool number = false;
                const int size = model->index(row, 0).data().toString().toInt(&number);
                if (number) list->setRowHidden(row, size < kSmallest || size > kLargest);
            }
        };
        QObject::connect(list->model(), &QAbstractItemModel::modelReset, list, hideOthers);
        hideOthers();
    }
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.selectedFont();
}

void QtDialogs::beep() { QApplication::beep(); }

int QtDialogs::exec(QDialog& dialog) { return dialog.exec(); }

}  // namespace voxilo
