// The selection of a list or tree that does not have the keyboard focus is drawn faded, so
// that the pane with the focus is the one whose selection shows in full: with Tab going
// round the panes, that is how the user sees where the keys go. Header only.
#pragma once

#include <QPalette>

namespace xavo {

// Palette with its selection colours faded for an item view that does not have the focus:
// the highlight mixed one part to two with the background, the text in its normal colour.
inline QPalette UnfocusedSelectionPalette(QPalette palette) {
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        const QColor highlight = palette.color(group, QPalette::Highlight);
        const QColor base = palette.color(group, QPalette::Base);
        palette.setColor(group, QPalette::Highlight,
                         QColor((highlight.red() + 2 * base.red()) / 3, (highlight.green() + 2 * base.green()) / 3,
                                (highlight.blue() + 2 * base.blue()) / 3));
        palette.setColor(group, QPalette::HighlightedText, palette.color(group, QPalette::Text));
    }
    return palette;
}

}  // namespace xavo
