// Favourite entries, see Favourites.h.
#include "Favourites.h"

#include "StringUtils.h"

namespace xavo {

namespace {

// Entry after its name and the "@" ending it; empty when the name has no "@" after it.
std::string AfterName(std::string_view entry, std::string* name) {
    std::string rest(entry);
    bool found = false;
    std::string head = SplitFirst(rest, '@', found);
    if (name != nullptr) *name = std::move(head);
    return found ? rest : std::string();
}

}  // namespace

std::string FavouriteEntry(const TFavourite& favourite) {
    return favourite.Name + '@' + favourite.Directory + '@' + favourite.Mask;
}

TFavourite ParseFavourite(std::string_view entry) {
    TFavourite favourite;
    const std::string rest = AfterName(entry, &favourite.Name);
    const std::size_t at = rest.find('@');
    favourite.Directory = rest.substr(0, at);
    if (at != std::string::npos) favourite.Mask = rest.substr(at + 1);
    return favourite;
}

int FindFavourite(const std::vector<std::string>& pathList, std::string_view name) {
    for (std::size_t i = 0; i < pathList.size(); ++i) {
        std::string entryName;
        AfterName(pathList[i], &entryName);
        if (entryName == name) return static_cast<int>(i);
    }
    return -1;
}

std::string RenamedFavourite(std::string_view entry, const std::string& newName) {
    return newName + '@' + AfterName(entry, nullptr);
}

std::string DefaultFavouriteName(std::string_view directory, bool fullPath) {
    std::string name(directory);
    if (name.size() > 1 && name.back() == '/') name.pop_back();
    if (fullPath) return name;
    return name.substr(name.rfind('/') + 1);
}

}  // namespace xavo
