#include "gui/help/HelpCommands.h"

#include <QWidget>

#include "gui/help/AboutDialog.h"
#include "gui/help/HelpViewer.h"

namespace voxilo {

HelpCommands::HelpCommands(QWidget& window, Dialogs& dialogs)
    : QObject(&window), window_(window), dialogs_(dialogs) {}

HelpViewer* HelpCommands::viewer() const { return viewer_; }

void HelpCommands::showContents() {
    if (HelpViewer* viewer = openViewer()) viewer->showContents();
}

void HelpCommands::searchTopics() {
    if (HelpViewer* viewer = openViewer()) viewer->showSearch();
}

void HelpCommands::showAbout() {
    AboutDialog about(&window_);
    dialogs_.exec(about);
}

// The viewer in front, the help file read afresh; none without a help file.
HelpViewer* HelpCommands::openViewer() {
    if (helpFile_.isEmpty()) {
        dialogs_.message(&window_,
                         QStringLiteral("ﾍﾙﾌﾟの目次を表示できません。 "
                                        "このﾌﾟﾛｼﾞｪｸﾄに関連付けられたﾍﾙﾌﾟが存在しません。"),
                         window_.windowTitle(), Dialogs::Buttons::Ok, MessageIcon::Information);
        return nullptr;
    }
    if (!viewer_) viewer_ = new HelpViewer(&window_);
    viewer_->load(helpFile_);
    viewer_->show();
    viewer_->raise();
    viewer_->activateWindow();
    return viewer_;
}

}  // namespace voxilo
