#include "gui/dialogs/InputMethod.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QInputMethodQueryEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>

namespace voxilo {
namespace {

// Turning Qt::WA_InputMethodEnabled off is not enough: a line edit answers the input method's
// question "enabled?" with yes all the same, and every line edit takes the text an input method
// sends it. So the box is asked through this filter, which says no, and which drops the text.
class ConverterOut : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::InputMethod) return true;  // nothing from the converter
        if (event->type() != QEvent::InputMethodQuery) return false;
        auto* query = static_cast<QInputMethodQueryEvent*>(event);
        const auto* box = static_cast<QWidget*>(watched);
        for (int bit = 0; bit < 32; ++bit) {
            const auto asked = static_cast<Qt::InputMethodQuery>(1u << bit);
            if (!query->queries().testFlag(asked)) continue;
            query->setValue(
                asked, asked == Qt::ImEnabled ? QVariant(false) : box->inputMethodQuery(asked));
        }
        query->accept();
        return true;
    }
};

// Follows the last composition. Qt's input contexts hand a composition over again after it
// is over: one the user cancelled is kept and flushed into whatever has the focus when the
// focus moves or a menu opens, and one still open when the focus moves is committed where it
// was composed and then once more into the widget that has the focus now. Each comes as a
// commit of exactly the composed text with no composition shown since.
//
// A composition still open when the focus leaves its widget, whichever way (a click elsewhere,
// a menu opened from the keyboard, a dialog, another window), is committed there, once, before
// the focus is gone; whatever the input context flushes of it later lands nowhere. Qt itself
// commits only on some of these paths, and on a menu opened by Alt not at all, so the text
// would reach whatever has the focus by the time the input context lets go of it.
class CompositionGuard : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusOut || event->type() == QEvent::FocusAboutToChange) {
            if (watched == composedIn_ && state_ == State::Shown) {
                finishWhereComposed();
                // Alt pressed with a letter that the input method took: the menu bar saw Alt
                // alone, pressed and released, and takes the keyboard with no menu open. What
                // the user types next would go nowhere; the keyboard goes back to the pane.
                if (static_cast<QFocusEvent*>(event)->reason() == Qt::MenuBarFocusReason &&
                    QApplication::activePopupWidget() == nullptr) {
                    QTimer::singleShot(0, this, &CompositionGuard::leaveMenuBar);
                }
            }
            return false;
        }
        if (event->type() != QEvent::InputMethod) return false;
        const auto* input = static_cast<QInputMethodEvent*>(event);
        if (!input->commitString().isEmpty()) return commitArrives(watched, *input);
        if (!input->preeditString().isEmpty()) {
            composed_ = input->preeditString();
            composedIn_ = watched;
            state_ = State::Shown;
        } else if (state_ == State::Shown && watched == composedIn_ &&
                   input->replacementLength() == 0) {
            // The composition went away and nothing was committed: the user cancelled it. The
            // input context is told to forget it as well.
            state_ = State::Cancelled;
            QGuiApplication::inputMethod()->reset();
        }
        return false;
    }

private:
    enum class State {
        None,       // nothing composed, or something else committed since
        Shown,      // on show where it is being composed
        Cancelled,  // cancelled by the user
        Committed,  // committed where it was composed, by the input method
        Finished,   // committed where it was composed by us, as the focus left it
    };

    // The menu bar leaves its keyboard mode as on Escape, which gives the keyboard back to the
    // widget that had it.
    static void leaveMenuBar() {
        auto* bar = qobject_cast<QMenuBar*>(QApplication::focusWidget());
        if (bar == nullptr || QApplication::activePopupWidget() != nullptr) return;
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(bar, &escape);
    }

    // Commits the open composition in its own widget and has the input context forget it, so
    // that it neither comes back there nor lands where the focus goes.
    void finishWhereComposed() {
        QInputMethodEvent commit;
        commit.setCommitString(composed_);
        QCoreApplication::sendEvent(composedIn_, &commit);  // seen here: Committed
        state_ = State::Finished;
        QGuiApplication::inputMethod()->reset();
    }

    bool commitArrives(QObject* target, const QInputMethodEvent& input) {
        const bool again = state_ != State::None && input.commitString() == composed_ &&
                           input.preeditString().isEmpty();
        if (!again) {
            state_ = State::None;
            return false;
        }
        if (target == composedIn_ && state_ == State::Shown) {
            state_ = State::Committed;  // where the user composed it: theirs
            return false;
        }
        if (target == composedIn_ && state_ == State::Committed) {
            // The same text again where it was just committed is the user typing it once more
            // (a converter may commit without showing a composition): never dropped.
            state_ = State::None;
            return false;
        }
        // Flushed elsewhere while it still shows where it was composed: it is the user's text
        // all the same, and goes where they typed it.
        if (state_ == State::Shown && composedIn_) finishWhereComposed();
        return true;  // dropped here
    }

    State state_ = State::None;
    QString composed_;              // the last composition
    QPointer<QObject> composedIn_;  // where it was composed
};

}  // namespace

void keepConverterOut(QWidget& box) {
    auto* filter = new ConverterOut(&box);
    box.setAttribute(Qt::WA_InputMethodEnabled, false);
    box.installEventFilter(filter);
    if (auto* combo = qobject_cast<QComboBox*>(&box); combo && combo->lineEdit()) {
        combo->lineEdit()->setAttribute(Qt::WA_InputMethodEnabled, false);
        combo->lineEdit()->installEventFilter(filter);
    }
}

void guardCompositions(QApplication& application) {
    application.installEventFilter(new CompositionGuard(&application));
}

}  // namespace voxilo
