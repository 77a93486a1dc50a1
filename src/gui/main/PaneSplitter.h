#pragma once

#include <QSplitter>

namespace voxilo {

// The bar between the two panes. When the window is resized the lower pane keeps its height
// and the upper one takes the change, down to its minimum height. A drag that would leave the
// upper pane lower than `minUpper` or the lower pane lower than `minLower` is refused: the
// bar stays where it was rather than stopping at the limit.
class PaneSplitter : public QSplitter {
    Q_OBJECT
public:
    PaneSplitter(int minUpper, int minLower, QWidget* parent = nullptr);

    int minUpper() const { return minUpper_; }
    int minLower() const { return minLower_; }

    // Moves the bar by `dy` pixels, as a drag does; false when the move is refused.
    bool dragBy(int dy);

protected:
    QSplitterHandle* createHandle() override;

private:
    int minUpper_;
    int minLower_;
};

}  // namespace voxilo
