#include "gui/dialogs/InputMethod.h"

#include <QApplication>
#include <QComboBox>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QInputMethodQueryEvent>
#include <QLineEdit>
#include <QPointer>

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
            query->setValue(asked,
                            asked == Qt::ImEnabled ? QVariant(false) : box->inputMethodQuery(asked));
        }
        query->accept();
        return true;
    }
};

// Follows the composition on show. Qt's input contexts keep a composition the user cancelled
// and flush it into whatever has the focus when the focus moves or a menu opens, and Qt flushes
// a composition still open when the focus moves into the widget that has the focus now. Both
// arrive as a commit of exactly the composed text where no composition is on show.
class CompositionGuard : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::InputMethod) return false;
        const auto* input = static_cast<QInputMethodEvent*>(event);
        if (!input->commitString().isEmpty()) return commitArrives(watched, *input);
        if (!input->preeditString().isEmpty()) {
            composed_ = input->preeditString();
            shownIn_ = watched;
            cancelled_ = false;
        } else if (!composed_.isEmpty() && !cancelled_ && watched == shownIn_ &&
                   input->replacementLength() == 0) {
            // The composition went away and nothing was committed: the user cancelled it. The
            // input context is told to forget it as well.
            cancelled_ = true;
            QGuiApplication::inputMethod()->reset();
        }
        return false;
    }

private:
    bool commitArrives(QObject* target, const QInputMethodEvent& input) {
        const bool flushed = !composed_.isEmpty() && input.commitString() == composed_ &&
                             input.preeditString().isEmpty() &&
                             (cancelled_ || target != shownIn_);
        const bool stillShown = !cancelled_;
        const QPointer<QObject> shownIn = shownIn_;
        composed_.clear();
        shownIn_ = nullptr;
        cancelled_ = false;
        if (!flushed) return false;
        if (stillShown && shownIn) {
            // The widget it was composed in shows it no more.
            QInputMethodEvent gone;
            QCoreApplication::sendEvent(shownIn, &gone);
        }
        return true;  // dropped
    }

    QString composed_;            // the composition on show, or the one last cancelled
    QPointer<QObject> shownIn_;   // where it is or was shown
    bool cancelled_ = false;
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
