#include "gui/options/FontChoice.h"

#include <QAccessible>
#include <QEvent>
#include <QFontInfo>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <cmath>

#include "gui/dialogs/QtText.h"

namespace voxilo {

QFont paneFont(const ProgramSettings& settings) {
    QFont font(qtext(settings.fontName));
    font.setPointSize(settings.fontSize > 0 ? settings.fontSize : 11);
    font.setBold(settings.fontBold);
    font.setItalic(settings.fontItalic);
    return font;
}

QString spokenFont(const QFont& font) {
    const double points = font.pointSizeF() > 0 ? font.pointSizeF() : QFontInfo(font).pointSizeF();
    QString spoken = QStringLiteral("%1 %2 ポイント").arg(font.family(), QString::number(points));
    if (font.bold()) spoken += QStringLiteral(" 太字");
    if (font.italic()) spoken += QStringLiteral(" 斜体");
    return spoken;
}

namespace {

class FontSpeaker : public QObject {
public:
    FontSpeaker(QWidget& preview, QWidget& button) : QObject(&preview), button_(&button) {
        speak(preview);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FontChange) speak(*static_cast<QWidget*>(watched));
        return false;
    }

private:
    void speak(QWidget& preview) {
        const QString spoken = spokenFont(preview.font());
        preview.setAccessibleName(spoken);  // tells a screen reader of the change itself
        if (button_) button_->setAccessibleDescription(spoken);
    }

    QPointer<QWidget> button_;
};

}  // namespace

void speakFontOf(QWidget& preview, QWidget& button) {
    preview.installEventFilter(new FontSpeaker(preview, button));
}

std::int16_t wholePoints(double points) {
    // nearbyint rounds as the floating-point environment does: to nearest, ties to even.
    return static_cast<std::int16_t>(std::clamp(std::nearbyint(points), -32768.0, 32767.0));
}

std::optional<QFont> pickFont(Dialogs& dialogs, QWidget* parent, const QFont& current) {
    // The dialog lists the faces there are, so it opens on the one the panes really show: the
    // stored name ("ＭＳ ゴシック") may stand for a face of another name here.
    const QString shown = QFontInfo(current).family();
    QFont offered = current;
    offered.setFamilies({shown});
    const std::optional<QFont> chosen = dialogs.chooseFont(parent, offered);
    if (!chosen) return std::nullopt;
    QFont font = current;
    const QStringList families =
        chosen->families().isEmpty() ? QStringList{chosen->family()} : chosen->families();
    // The face left as it was keeps its name, and the panes keep their look.
    if (families != QStringList{shown}) font.setFamilies(families);
    const double points =
        chosen->pointSizeF() > 0 ? chosen->pointSizeF() : QFontInfo(*chosen).pointSizeF();
    font.setPointSizeF(std::clamp(points, kSmallestFontPoints, kLargestFontPoints));
    font.setBold(chosen->weight() >= QFont::Medium);
    font.setItalic(chosen->italic());
    return font;
}

}  // namespace voxilo
