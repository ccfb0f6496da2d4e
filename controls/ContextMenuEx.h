// The context menu for a file or directory: open it with the desktop's default
// application, open the folder that holds it, copy its path, show its properties, and
// "Send To" the entries of the user's Send To folder (a directory entry receives a copy,
// an executable entry is run with the path).
//
// ShowFileMenu builds the menu, runs it modally and carries out the choice; BuildMenu and
// InvokeCommand are the same two halves for callers (and tests) that pick without a mouse.
// Entry points: ShowFileMenu, SendToFolder, SendToEntries, SendTo.
#pragma once

#include <QObject>
#include <QString>

#include <string>
#include <utility>
#include <vector>

class QMenu;
class QWidget;

namespace xavo {

struct TSendToEntry {
    enum TKind { Directory, Program, Other };
    std::string Path;  // full path in the Send To folder
    QString DisplayName;
    TKind Kind;
};

class TContextMenuEx : public QObject {
    Q_OBJECT
public:
    // Command identifiers carried by the menu's actions (QAction::data()).
    enum TCommand { cmOpen = 1, cmOpenFolder = 2, cmCopyPath = 3, cmProperties = 4 };
    static constexpr int kSendToFirstId = 1525;
    static constexpr int kMaxSendToEntries = 100;
    // With this many entries or more the list is shown but a choice is not sent.
    static constexpr int kSendToUsableBelow = 99;

    explicit TContextMenuEx(QObject* parent = nullptr);

    // Pops the menu up at (X, Y) in Wnd's coordinates for FileName (full path; a final "/"
    // is allowed) and carries out the choice. Returns true when a command ran successfully.
    // Returns false without showing anything when Wnd is null or FileName does not exist;
    // false when the menu is dismissed. A failed command shows " InvokeCommand failed! ".
    bool ShowFileMenu(QWidget* wnd, const std::string& fileName, int x, int y);

    // The menu (the same for files and directories), owned by the caller. SendToListed
    // tells whether the Send To submenu holds a usable list (1 to 98 entries).
    QMenu* BuildMenu(QWidget* parent, bool& sendToListed) const;

    // Carries out the command Identifier on FileName; shows the failure box and returns
    // false when it fails (an unknown identifier fails).
    bool InvokeCommand(QWidget* wnd, int identifier, const std::string& fileName, bool sendToListed) const;

    // $XDG_DATA_HOME/xavoline/SendTo/ (by default ~/.local/share/xavoline/SendTo/).
    static std::string SendToFolder();
    // The folder's entries, hidden ones left out, sorted by name ignoring case, at most
    // kMaxSendToEntries. Empty when the folder cannot be read.
    static std::vector<TSendToEntry> SendToEntries(const std::string& folder);
    // Copies FileName (a file or a whole directory) into a directory entry without
    // replacing anything, or starts a program entry with FileName as its one argument.
    // Returns false for an entry of another kind or when the copy or the start fails.
    static bool SendTo(const TSendToEntry& entry, const std::string& fileName);

    // The rows of the properties dialog: caption and value.
    static std::vector<std::pair<QString, QString>> PropertiesOf(const std::string& fileName);
};

}  // namespace xavo
