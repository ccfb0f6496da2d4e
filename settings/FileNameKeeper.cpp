// TFileNameKeep: the ordered names, their menu items and their storage.
#include "FileNameKeeper.h"

#include "IniGT.h"

#include <algorithm>
#include <utility>

namespace xavo {
namespace {

constexpr std::string_view kSection = "KeepFileNames";

std::string NameKey(int number) { return "FileName" + std::to_string(number); }

}  // namespace

TFileNameKeep::TFileNameKeep() = default;

TFileNameKeep::~TFileNameKeep() {
    if (FParentMenu == nullptr || FSaved) return;  // never loaded: nothing of ours to store
    try {
        Save();
    } catch (...) {  // nobody is left to show the error; Save is the owner's way to see it
    }
}

void TFileNameKeep::SetIniFileName(std::string path, bool createDirectory) {
    FIniFile = TIniFile(std::move(path));
    FIniFile.SetCreateDirectory(createDirectory);
}

void TFileNameKeep::SetParentMenu(TFileNameMenu* menu) {
    FParentMenu = menu;
    if (FIniFile.FileName().empty()) {
        const TIniLocation location = DefaultIniLocation(RunningProgramPlaces());
        SetIniFileName(location.Path, location.CreateDirectory);
    }
    Load();
}

void TFileNameKeep::Add(const std::string& name) {
    if (FParentMenu == nullptr || name.empty()) return;
    FSaved = false;

    bool known = false;
    for (std::size_t i = 0; i < FNames.size(); ++i) {
        if (FNames[i] == name) {
            std::move_backward(FNames.begin(), FNames.begin() + static_cast<std::ptrdiff_t>(i),
                               FNames.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            FNames[0] = name;
            known = true;
        }
    }
    if (!known) {
        if (FItemCount < kNameCount) {
            if (FItemCount == 0) FParentMenu->AppendSeparator();
            FParentMenu->AppendItem(++FItemCount);
        }
        std::move_backward(FNames.begin(), FNames.end() - 1, FNames.end());
        FNames[0] = name;
    }
    for (int k = 1; k <= FItemCount; ++k) FParentMenu->SetItemCaption(k, FNames[static_cast<std::size_t>(k - 1)]);
}

void TFileNameKeep::Load() {
    for (int n = kNameCount; n >= 1; --n) Add(FIniFile.ReadString(kSection, NameKey(n), ""));
}

void TFileNameKeep::Save() {
    TIniUpdate batch(FIniFile);
    FIniFile.EraseSection(kSection);
    for (int n = 1; n <= kNameCount; ++n) FIniFile.WriteString(kSection, NameKey(n), FNames[static_cast<std::size_t>(n - 1)]);
    batch.Commit();
    FSaved = true;
}

void TFileNameKeep::ItemClick(int index) {
    if (!OnSelect || index < 1 || index > FItemCount) return;
    // A copy: the handler usually adds the name again, which reorders FNames.
    const std::string name = FNames[static_cast<std::size_t>(index - 1)];
    OnSelect(name);
}

}  // namespace xavo
