// Drops on the directory tree, see TreeDrop.h.
#include "TreeDrop.h"

#include "Paths.h"

namespace xavo {

namespace {

// From the last "." of the last component on, or empty.
std::string_view ExtensionOf(std::string_view path) {
    const std::string_view name = FileNameOf(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

std::string_view WithoutLastCharacter(std::string_view path) {
    return path.empty() ? path : path.substr(0, path.size() - 1);
}

}  // namespace

TDirectoryDrop PlanDirectoryDrop(std::string_view treeDirectory, std::string_view dropTarget) {
    TDirectoryDrop drop;
    drop.Source = WithoutLastCharacter(treeDirectory);
    const std::string destination(WithoutLastCharacter(dropTarget));
    drop.Destination = WithTrailingSlash(std::string(dropTarget));
    drop.NewPath = destination + '/' + std::string(FileNameOf(drop.Source)) + '/';
    if (drop.Source == destination) drop.Verdict = TDirectoryDropVerdict::SameDirectory;
    else if (drop.NewPath == drop.Source + '/') drop.Verdict = TDirectoryDropVerdict::SameParent;
    else drop.Verdict = TDirectoryDropVerdict::Ask;
    return drop;
}

std::string FileDropTarget(std::string_view source, std::string_view dropTarget) {
    return std::string(dropTarget) + std::string(FileNameOf(source));
}

std::string RenameTargetName(std::string_view entered, std::string_view source) {
    std::string name(entered);
    if (FileNameOf(entered).find('.') == std::string_view::npos) name += ExtensionOf(source);
    return name;
}

}  // namespace xavo
