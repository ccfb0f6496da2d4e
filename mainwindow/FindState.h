// What the find commands look for next: the search text and the find options the find
// dialog holds between uses. A tag jump leaves the jumped-to line's text here, searching
// down, so that the next "find next" finds that text again. Plain C++.
// Entry point: TFindState.
#pragma once

#include "FindOptions.h"

#include <string>

namespace xavo {

struct TFindState {
    std::string Text;              // Shift-JIS bytes
    TFindOptions Options = frDown;  // the dialog's options; frDown = searching down
    // The typed text holds characters Shift-JIS cannot store (Text has '?' for them): it
    // is never found.
    bool Unencodable = false;

    // The jumped-to line's Text becomes the search text, searching down.
    void SetFromTagJump(std::string text) {
        Text = std::move(text);
        Unencodable = false;
        Options |= frDown;
    }
};

}  // namespace xavo
