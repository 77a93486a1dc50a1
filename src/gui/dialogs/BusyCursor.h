#pragma once

#include <QApplication>
#include <QCursor>

namespace voxilo {

// The hourglass for as long as this lives: the default pointer comes back on every way out,
// errors included.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace voxilo
