// The viewer's decisions that need no screen: the mask a shown file implies, stepping
// through the file list, which caret keys stop at the ends of the text, how far the space
// bar pages, and whether a path names a file the view can show.
//
// Positions and lengths are bytes of the view's Shift-JIS text; lines count from 0.
// Entry points: MaskForFile, NextFileIndex, PrevFileIndex, DiscardCaretKey, PagingSteps,
// IsShowableFile, ProcessDirectory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace xavo {

// The width of the left pane while auto-hide keeps it collapsed, pixels: a strip of the
// tree and the file list stays in view for the mouse to bring the pane back.
inline constexpr int kCollapsedLeftPaneWidth = 16;

// "*" followed by the extension of Path's last component (from its last "." on, the dot
// included): "/doc/a.html" gives "*.html", "/doc/README" gives "*".
std::string MaskForFile(std::string_view path);

// The item the next-file command moves to from ItemIndex (-1 for no selection) in a list
// of Count items, or -1 when it does nothing (already on the last item, or an empty list).
int NextFileIndex(int itemIndex, int count);
// The same for the previous-file command: -1 on the first item or with no selection.
int PrevFileIndex(int itemIndex, int count);

enum class TCaretKey { Other, PageUp, PageDown, Left, Up, Right, Down };

// Where the caret is, as the text view reports it.
struct TCaretPlace {
    std::int64_t Line = 0;        // caret line
    std::int64_t Column = 0;      // bytes from the line's start
    std::int64_t LineLength = 0;  // bytes of the caret line, break excluded
    std::int64_t ListCount = 0;   // lines of the view, less one when the last one is empty
    bool LastListLineEmpty = false;  // line ListCount - 1 is empty (false when ListCount is 0)
};

// True when Key must not reach the text view because it would move or scroll before the
// first character or past the end of the last line. Other keys are never discarded.
bool DiscardCaretKey(TCaretKey key, const TCaretPlace& place);

// How many lines one press of the space bar scrolls: 0 when the text fits (fewer lines
// than VisibleLines), else a screenful or, with Half, half of one (rounded down).
int PagingSteps(std::int64_t lineCount, int visibleLines, bool half);

// True when Path names a regular file (a symbolic link is followed). Directories, FIFOs,
// devices and missing paths are not shown: reading a FIFO would block the window.
bool IsShowableFile(const std::string& path);

// The process's current directory, ending in "/"; "/" when it cannot be read.
std::string ProcessDirectory();

}  // namespace xavo
