// TFileNameKeep: the eight most recently used names, shown at the end of a menu.
//
// Names come in through Add (most recent first, a known name moves to the top) and live
// between runs in the section "KeepFileNames" of the settings file. The menu is reached
// through TFileNameMenu, which the window implements with its own menu and tests with a
// fake. Entry points: SetParentMenu (loads), Add, Save, ItemClick.
#pragma once

#include "IniFile.h"

#include <array>
#include <functional>
#include <string>

namespace xavo {

// The menu the names hang under. Items are numbered from 1 (the most recent name) in
// the order they are appended; the implementation owns what it creates.
class TFileNameMenu {
public:
    virtual ~TFileNameMenu() = default;
    // Appends a separator after the menu's current items.
    virtual void AppendSeparator() = 0;
    // Appends item Index; its click must call TFileNameKeep::ItemClick(Index).
    virtual void AppendItem(int index) = 0;
    // Shows Caption (a name as stored, Shift-JIS bytes, to be shown literally) on item Index.
    virtual void SetItemCaption(int index, const std::string& caption) = 0;
};

// Called with the clicked item's name.
using TFileNameSelectEvent = std::function<void(const std::string& selectFileName)>;

class TFileNameKeep {
public:
    static constexpr int kNameCount = 8;

    // No names, no menu; the settings file is the program's default one until
    // SetIniFileName names another.
    TFileNameKeep();
    // Saves the list unless Save succeeded since the last change; a failure is swallowed
    // (a destructor must not throw), so owners call Save themselves to see the error.
    ~TFileNameKeep();
    TFileNameKeep(const TFileNameKeep&) = delete;
    TFileNameKeep& operator=(const TFileNameKeep&) = delete;

    TFileNameSelectEvent OnSelect;

    // The settings file; set it before SetParentMenu, which loads from it. CreateDirectory as
    // TIniFile::SetCreateDirectory.
    void SetIniFileName(std::string path, bool createDirectory = false);
    const std::string& IniFileName() const { return FIniFile.FileName(); }

    // Stores Menu (not owned; it must outlive this object) and loads the stored names.
    // Assign it once.
    void SetParentMenu(TFileNameMenu* menu);
    TFileNameMenu* ParentMenu() const { return FParentMenu; }

    // Puts Name at the top. Nothing without a parent menu or for an empty name.
    void Add(const std::string& name);

    // Adds the stored names, oldest first, so that the stored order is rebuilt. Never fails.
    void Load();

    // Replaces the section with FileName1..FileName8 (empty names as empty values) in one
    // write. Throws EIniFileError, the file unchanged, when it cannot be written.
    void Save();

    // Reports a click on item Index (1..kNameCount) to OnSelect; other indexes are ignored.
    void ItemClick(int index);

    // The names, [0] the most recent; "" marks a free place.
    const std::array<std::string, kNameCount>& Names() const { return FNames; }
    // Menu items created so far (the separator not counted).
    int ItemCount() const { return FItemCount; }

private:
    TIniFile FIniFile;
    TFileNameMenu* FParentMenu = nullptr;
    std::array<std::string, kNameCount> FNames;
    int FItemCount = 0;
    bool FSaved = false;
};

}  // namespace xavo
