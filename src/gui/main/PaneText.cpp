#include "gui/main/PaneText.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPlainTextEdit>
#include <QTextDocument>

namespace voxilo {

QString toPaneText(std::u16string_view text) {
    QString pane;
    pane.resize(static_cast<qsizetype>(text.size()));
    QChar* out = pane.data();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r') {
            *out++ = QChar(u'\n');
            if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        } else if (c == u'\n') {
            *out++ = QChar::LineSeparator;
        } else {
            *out++ = QChar(c);
        }
    }
    pane.truncate(out - pane.data());
    return pane;
}

std::u16string fromPaneText(const QString& raw) {
    std::u16string text;
    text.reserve(static_cast<std::size_t>(raw.size()) + 16);
    for (QChar c : raw) {
        if (c == QChar::ParagraphSeparator || c == QChar(u'\n')) {
            text.append(u"\r\n");
        } else if (c == QChar::LineSeparator) {
            text.push_back(u'\n');
        } else {
            text.push_back(c.unicode());
        }
    }
    return text;
}

QString outsideTextForPane(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (QChar& c : text) {
        if (c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) c = u'\n';
    }
    return text;
}

std::u16string paneText(const QPlainTextEdit& pane) {
    return fromPaneText(pane.document()->toRawText());
}

void setPaneText(QPlainTextEdit& pane, std::u16string_view text) {
    pane.setPlainText(toPaneText(text));
    // The scroll bars follow the new text at once, not at the pane's next event.
    QEvent relayout(QEvent::LayoutRequest);
    QCoreApplication::sendEvent(&pane, &relayout);
}

}  // namespace voxilo
