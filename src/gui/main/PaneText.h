#pragma once

#include <QString>

#include <string>
#include <string_view>

class QPlainTextEdit;

namespace voxilo {

// A document's text and what its pane holds. In a document a line ends at CR (CR LF being one
// break) and a lone LF belongs to its line; a pane keeps each line as a paragraph and shows a
// lone LF as a line separator (U+2028) within its paragraph, so nothing is lost either way.
QString toPaneText(std::u16string_view text);
std::u16string fromPaneText(const QString& raw);

// Text arriving from outside (pasted, dropped) as the pane is to hold it: every line break a
// person can make elsewhere (CR LF, CR, LF, U+2028, U+2029) is a break between lines. Only a
// document's own lone LF stays within its line.
QString outsideTextForPane(QString text);

// The document text of a pane, and setting it in one go.
std::u16string paneText(const QPlainTextEdit& pane);
void setPaneText(QPlainTextEdit& pane, std::u16string_view text);

}  // namespace voxilo
