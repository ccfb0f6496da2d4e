// The stored forms of colours, fonts and window placement mapped onto Qt.
//
// Colours are stored as 0x00BBGGRR or, with the top bit set, as a system colour (5 the
// window background, 8 the window text, ...), which the current palette supplies. Fonts
// keep their stored face name (fontconfig picks an installed face for it). Placement is
// the window's normal geometry as edges. A stored string list is a combo box's items.
// Entry points: ToQColor, ToTColor, ToQFont, ToFontSpec, PlacementOf, ApplyPlacement,
// ComboItems, SetComboItems.
#pragma once

#include "IniGT.h"

#include <QColor>
#include <QFont>
#include <QPalette>

#include <string>
#include <vector>

class QComboBox;
class QWidget;

namespace xavo {

// The colour Color stands for; system colours come from Palette.
QColor ToQColor(TColor color, const QPalette& palette);
// The stored form of an ordinary colour (never a system colour).
TColor ToTColor(const QColor& color);

// The font Spec describes (its colour is not part of a QFont; see ToQColor). A size
// outside 1 to 500 points gives the new font's size.
QFont ToQFont(const TFontSpec& spec);
// Spec of Font with Color as its colour. A font sized in pixels is converted to points.
TFontSpec ToFontSpec(const QFont& font, TColor color);

// The placement of a top-level Window: its normal geometry (client area) as edges, show
// state 3 when maximised else 1, flags 0, maximised position -1, -1.
TWindowPlacement PlacementOf(const QWidget& window);

// Gives Window the stored placement before it is shown: the size when the edges make one,
// the position too when the rectangle's centre lies on a screen, maximised for show state 3.
// The size is bounded by the available area of that screen (else the primary one).
void ApplyPlacement(QWidget& window, const TWindowPlacement& placement);

// The items of Combo in Shift-JIS, in order.
std::vector<std::string> ComboItems(const QComboBox* combo);
// Replaces the items of Combo by Items (Shift-JIS); no item is chosen afterwards, so an
// editable combo box's text is empty.
void SetComboItems(QComboBox* combo, const std::vector<std::string>& items);

}  // namespace xavo
