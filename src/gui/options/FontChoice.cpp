#include "gui/options/FontChoice.h"

#include <QFontInfo>

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
