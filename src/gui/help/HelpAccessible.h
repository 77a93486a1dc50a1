#pragma once

class QTextBrowser;
class QWidget;

namespace voxilo {

// How the help viewer shows itself to a screen reader: a window of its own (Qt takes a plain
// widget for a part of some other window), and a topic page that is a read-only document whose
// links are its children, each one a link that can be followed through the accessibility
// interface as by the keyboard. Qt's AT-SPI bridge knows no hypertext; links as children with
// a press action are what reaches a screen reader through it.
void presentAsWindow(QWidget& window);
void presentAsTopicPage(QTextBrowser& page);

}  // namespace voxilo
