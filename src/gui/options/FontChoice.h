#pragma once

#include <QFont>

#include <cstdint>
#include <optional>

#include "core/store/ProgramSettings.h"
#include "gui/dialogs/Dialogs.h"

namespace voxilo {

// The sizes the font dialog offers, in points.
inline constexpr double kSmallestFontPoints = 8;
inline constexpr double kLargestFontPoints = 72;

// The text panes' font as the settings describe it.
QFont paneFont(const ProgramSettings& settings);

// A size in whole points: the nearest, halves to the even one (10.5 is 10, 11.5 is 12).
std::int16_t wholePoints(double points);

// The font as a screen reader says it: its name and size, bold and italic.
QString spokenFont(const QFont& font);

// The font preview and its button speak the font `preview` shows, whenever that changes; the
// sample text says nothing about it.
void speakFontOf(QWidget& preview, QWidget& button);

// The font dialog, opened on `current`. Of the chosen font only the name, the size (kept to
// the offered sizes), bold and italic are taken over onto `current`; underline and strike-out
// stay as they were. Nothing when the dialog was cancelled.
std::optional<QFont> pickFont(Dialogs& dialogs, QWidget* parent, const QFont& current);

}  // namespace voxilo
