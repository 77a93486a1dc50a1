#pragma once

#include <QObject>

namespace voxilo {

class FileCommands;
class MainWindow;

// Dropping onto the window: a file opens into the upper pane as File > 開く does with it
// chosen, save questions first; dropped text goes into the upper pane as typing would, and the
// lower pane refuses it as it refuses Paste.
class DocumentDrops : public QObject {
    Q_OBJECT
public:
    DocumentDrops(MainWindow& window, FileCommands& files);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MainWindow& window_;
    FileCommands& files_;
};

}  // namespace voxilo
