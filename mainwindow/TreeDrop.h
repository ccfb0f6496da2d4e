// What a drop on the directory tree asks for, decided without a screen: the directory move
// (and the two drops it refuses at once) and the paths of a file move.
//
// Paths are file-system bytes; directories end in "/" as the tree reports them. Entry
// points: PlanDirectoryDrop, FileDropTarget, RenameTargetName.
#pragma once

#include <string>
#include <string_view>

namespace xavo {

enum class TDirectoryDropVerdict {
    SameDirectory,  // dropped on itself
    SameParent,     // dropped on the directory that holds it
    Ask,            // a move to ask about (it may still fail, e.g. into its own subtree)
};

struct TDirectoryDrop {
    std::string Source;       // the directory to move, without its final "/"
    std::string Destination;  // the directory dropped on, ending in "/"
    std::string NewPath;      // where the moved directory will be, ending in "/"
    TDirectoryDropVerdict Verdict;
};

// The move of the tree's selected directory TreeDirectory onto DropTarget (the node the
// drag last highlighted). Paths compare exactly, case included.
TDirectoryDrop PlanDirectoryDrop(std::string_view treeDirectory, std::string_view dropTarget);

// The path the file Source would get in the directory DropTarget (ending in "/").
std::string FileDropTarget(std::string_view source, std::string_view dropTarget);

// The name a renamed move gives: Entered as typed, with Source's extension (from the last
// "." of its name, dot included) appended when Entered has no "." after its last "/". A
// name ending in "." keeps its empty extension.
std::string RenameTargetName(std::string_view entered, std::string_view source);

}  // namespace xavo
