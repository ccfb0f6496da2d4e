// The favourites' entries, without a screen: each favourite is one text "name@directory@mask"
// kept index for index beside the list of names that the favourites list shows.
//
// The name is Shift-JIS (what the list shows); the directory and the mask are file-system
// bytes as the tree and the file list hold them. Entry points: FavouriteEntry,
// ParseFavourite, FindFavourite, RenamedFavourite, DefaultFavouriteName.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace xavo {

struct TFavourite {
    std::string Name;
    std::string Directory;  // as the tree reported it, ending in "/"
    std::string Mask;
};

// The entry of a favourite: Name, "@", Directory, "@", Mask. Names are not checked: an
// empty one or one holding "@" is stored as given.
std::string FavouriteEntry(const TFavourite& favourite);

// The parts of Entry. The name ends at the first "@" that starts a Shift-JIS character
// (the 0x40 second byte of ァ does not end it); the directory at the next "@" byte (it is
// file-system bytes, where a byte 0x40 is always "@"); the mask is the rest. A part with
// no "@" after it takes the rest of the entry and leaves the later parts empty.
TFavourite ParseFavourite(std::string_view entry);

// The index of the first entry of PathList whose name is Name (exact, case-sensitive),
// or -1.
int FindFavourite(const std::vector<std::string>& pathList, std::string_view name);

// Entry with its name replaced by NewName; the directory and the mask stay byte for byte.
std::string RenamedFavourite(std::string_view entry, const std::string& newName);

// The name proposed for a favourite of Directory (the tree's directory, ending in "/"):
// the path without its final "/" (the root "/" keeps it) or, without FullPath, only its
// last component (empty for the root).
std::string DefaultFavouriteName(std::string_view directory, bool fullPath);

}  // namespace xavo
