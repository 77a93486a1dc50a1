#include "gui/main/PaneSplitter.h"

#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QSplitterHandle>

namespace voxilo {
namespace {

class PaneSplitterHandle : public QSplitterHandle {
public:
    explicit PaneSplitterHandle(PaneSplitter* parent)
        : QSplitterHandle(Qt::Vertical, parent), splitter_(parent) {}

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) {
            dragging_ = true;
            grabY_ = event->position().toPoint().y();
        }
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (dragging_) splitter_->dragBy(event->position().toPoint().y() - grabY_);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) dragging_ = false;
    }

private:
    PaneSplitter* splitter_;
    bool dragging_ = false;
    int grabY_ = 0;  // where the bar was taken, from its top edge
};

// Qt presents a splitter's bar as a grip, which screen readers cannot name; the bar between
// the documents is a separator.
QAccessibleInterface* accessibleBar(const QString& className, QObject* object) {
    if (className != QLatin1String("QSplitterHandle")) return nullptr;
    auto* bar = qobject_cast<QSplitterHandle*>(object);
    if (bar == nullptr || qobject_cast<PaneSplitter*>(bar->splitter()) == nullptr) return nullptr;
    return new QAccessibleWidget(bar, QAccessible::Separator);
}

}  // namespace

PaneSplitter::PaneSplitter(int minUpper, int minLower, QWidget* parent)
    : QSplitter(Qt::Vertical, parent), minUpper_(minUpper), minLower_(minLower) {
    static const bool barSpoken = [] {
        QAccessible::installFactory(accessibleBar);
        return true;
    }();
    Q_UNUSED(barSpoken);
    setChildrenCollapsible(false);
    setOpaqueResize(true);
}

bool PaneSplitter::dragBy(int dy) {
    const QList<int> heights = sizes();
    if (heights.size() != 2 || dy == 0) return false;
    if (heights[0] + dy < minUpper_ || heights[1] - dy < minLower_) return false;
    setSizes({heights[0] + dy, heights[1] - dy});
    return true;
}

QSplitterHandle* PaneSplitter::createHandle() {
    auto* bar = new PaneSplitterHandle(this);
    bar->setAccessibleName(QStringLiteral("分割バー"));
    return bar;
}

}  // namespace voxilo
