#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "gui/dialogs/Dialogs.h"

class QWidget;

namespace voxilo {

class HelpViewer;

// The Help menu's commands: the help's contents, its keyword search, and the about box. The
// viewer belongs to the main window and stays open beside it.
class HelpCommands : public QObject {
    Q_OBJECT
public:
    HelpCommands(QWidget& window, Dialogs& dialogs);

    // The help file the commands open; "" when the program has none.
    void setHelpFile(const QString& path) { helpFile_ = path; }
    const QString& helpFile() const { return helpFile_; }

    // Help > Voxiloのﾍﾙﾌﾟ (F1).
    void showContents();
    // Help > ﾄﾋﾟｯｸの検索.
    void searchTopics();
    // Help > ﾊﾞｰｼﾞｮﾝ情報.
    void showAbout();

    // The viewer, once a help command has opened it.
    HelpViewer* viewer() const;

private:
    HelpViewer* openViewer();

    QWidget& window_;
    Dialogs& dialogs_;
    QString helpFile_;
    QPointer<HelpViewer> viewer_;
};

}  // namespace voxilo
