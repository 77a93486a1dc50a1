#include "gui/dialogs/AccessibleComboBox.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

namespace voxilo {
namespace {

const char* const kSpoken = "voxiloSpokenName";

// A combo box as Qt presents one (its value, the list it opens, its line edit when it is
// editable, opening and closing the list), with the name it was given. Its value is also its
// text, read-only: Qt's AT-SPI bridge passes on no other value than a number, and a screen
// reader reads a named combo box's value from its text.
class AccessibleComboBox : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit AccessibleComboBox(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QComboBox* comboBox() const { return static_cast<QComboBox*>(object()); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return comboBox()->currentText();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = comboBox()->view()->isVisible();
        s.editable = comboBox()->isEditable();
        return s;
    }

    // The list first, then the line edit of an editable box.
    int childCount() const override { return comboBox()->isEditable() ? 2 : 1; }
    QAccessibleInterface* child(int index) const override {
        if (index == 0) return QAccessible::queryAccessibleInterface(comboBox()->view());
        if (index == 1 && comboBox()->isEditable()) {
            return QAccessible::queryAccessibleInterface(comboBox()->lineEdit());
        }
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child == nullptr) return -1;
        if (child->object() == comboBox()->view()) return 0;
        if (comboBox()->isEditable() && child->object() == comboBox()->lineEdit()) return 1;
        return -1;
    }
    QAccessibleInterface* focusChild() const override {
        if (comboBox()->view()->isVisible()) return child(0);
        return comboBox()->isEditable() ? child(1) : nullptr;
    }

    // The text: the value shown, read-only, with the caret at its start.
    QString text(int start, int end) const override {
        return comboBox()->currentText().mid(start, end - start);
    }
    int characterCount() const override {
        return static_cast<int>(comboBox()->currentText().size());
    }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    QRect characterRect(int) const override { return rect(); }
    int offsetAtPoint(const QPoint&) const override { return 0; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* start, int* end) const override {
        *start = *end = offset;
        return {};
    }

    QStringList actionNames() const override {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == showMenuAction() || action == pressAction()) {
            if (comboBox()->view()->isVisible()) {
                comboBox()->hidePopup();
            } else {
                comboBox()->showPopup();
            }
            return;
        }
        QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* spokenComboBox(const QString& className, QObject* object) {
    if (className != QLatin1String("QComboBox")) return nullptr;
    auto* box = qobject_cast<QComboBox*>(object);
    if (box == nullptr || !box->property(kSpoken).toBool()) return nullptr;
    return new AccessibleComboBox(box);
}

}  // namespace

void setSpokenName(QComboBox& box, const QString& name) {
    static const bool installed = [] {
        QAccessible::installFactory(spokenComboBox);
        return true;
    }();
    Q_UNUSED(installed);
    box.setProperty(kSpoken, true);
    box.setAccessibleName(name);
    // Qt tells of a new value by itself; the text, now the value, is told of with it.
    QObject::connect(&box, &QComboBox::currentTextChanged, &box,
                     [&box, shown = box.currentText()](const QString& now) mutable {
                         QAccessibleTextUpdateEvent changed(&box, 0, shown, now);
                         QAccessible::updateAccessibility(&changed);
                         shown = now;
                     });
}

}  // namespace voxilo
