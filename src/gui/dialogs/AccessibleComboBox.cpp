#include "gui/dialogs/AccessibleComboBox.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

namespace voxilo {
namespace {

const char* const kSpoken = "voxiloSpokenName";

// A combo box as Qt presents one (its value, the list it opens, its line edit when it is
// editable, opening and closing the list), with the name it was given.
class AccessibleComboBox : public QAccessibleWidget {
public:
    explicit AccessibleComboBox(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

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
}

}  // namespace voxilo
