#include "gui/main/PaneText.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    // A paragraph's end becomes two units. A large pane is mostly ciphertext or ordinary
    // lines: runs of units without a break go eight at a time. The text is made at its size,
    // since touching memory for the first time is what a large pane costs most.
    const auto n = static_cast<std::size_t>(raw.size());
    const char16_t* in = reinterpret_cast<const char16_t*>(raw.constData());
    const std::size_t paragraphEnds =
        static_cast<std::size_t>(raw.count(QChar(u'\n')) + raw.count(QChar::ParagraphSeparator));
    std::u16string text(n + paragraphEnds, u'\0');
    char16_t* out = text.data();
    std::size_t i = 0;
    while (i < n) {
#if defined(__SSE2__)
        const __m128i lf = _mm_set1_epi16(0x0A);
        const __m128i lineSeparator = _mm_set1_epi16(0x2028);
        const __m128i paragraphSeparator = _mm_set1_epi16(0x2029);
        for (; i + 8 <= n; i += 8, out += 8) {
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            const __m128i breaks =
                _mm_or_si128(_mm_cmpeq_epi16(units, lf),
                             _mm_or_si128(_mm_cmpeq_epi16(units, lineSeparator),
                                          _mm_cmpeq_epi16(units, paragraphSeparator)));
            if (_mm_movemask_epi8(breaks) != 0) break;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), units);
        }
        // The unit that stopped the run, and those up to the next block of eight.
        const std::size_t stop = std::min(n, i + 8);
#else
        const std::size_t stop = n;
#endif
        for (; i < stop; ++i) {
            const char16_t c = in[i];
            if (c == QChar::ParagraphSeparator || c == u'\n') {
                *out++ = u'\r';
                *out++ = u'\n';
            } else if (c == QChar::LineSeparator) {
                *out++ = u'\n';
            } else {
                *out++ = c;
            }
        }
    }
    text.resize(static_cast<std::size_t>(out - text.data()));
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
