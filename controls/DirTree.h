// The directory tree: the single top-level node "/" and, below it, directories read lazily
// (a node's subdirectories on its first expansion, and theirs too so that every visible
// node shows a correct expand button). What other programs change shows: a node is read
// again whenever it is expanded, F5 reads every node read so far again, and the expanded
// nodes' directories are watched and read again shortly after they change. Reading again
// keeps the nodes that are still there as they were (expanded, selected); a selected
// directory that is gone passes the selection to its parent.
//
// Paths are file-system bytes, kept in their case, always ending in "/". A link to a
// directory shows as a directory; a node that is the same directory as one of its
// ancestors (a link loop) shows no children. Entry points: Directory / SetDirectory,
// Reload, DropTargetDir, and the OnChange, OnAddDir, OnDragOver and OnDragDrop handlers.
#pragma once

#include "Directory.h"

#include <QIcon>
#include <QPersistentModelIndex>
#include <QTreeWidget>

#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class QFileSystemWatcher;
class QTimer;

namespace xavo {

// True for the data of a drag that started in a directory tree of this process.
bool IsDirTreeDrag(const QMimeData* mime);

// True when a directory of Path lies below a recycle bin: a component named "recycled"
// (ASCII case ignored), ".Trash", ".Trash-<uid>", or the "Trash" of ".local/share",
// followed by at least one more component. The bin itself is not below it.
bool IsBelowRecycleBin(std::string_view path);

class Tdirtree : public QTreeWidget {
    Q_OBJECT
public:
    // The attribute filter's members; tDirType is a set of them (an OR of the values).
    enum tdirattr : unsigned {
        dtReadonly = 0x01,
        dtHidden = 0x02,
        dtSystem = 0x04,
        dtArchive = 0x08,
        dtNormal = 0x10,
        dtAll = 0x20,
    };
    using tDirType = unsigned;

    using TNotifyEvent = std::function<void(Tdirtree* sender)>;
    // Called for every candidate directory (the root included); clearing DoAdd leaves it out.
    using taddfileevent = std::function<void(const std::string& filename, bool& doAdd)>;
    // Whether a drag from Source may be dropped here; asked on entering and on every move.
    using TDragOverEvent = std::function<bool(Tdirtree* sender, QObject* source)>;
    // A drop from Source; DropTargetDir() tells where.
    using TDragDropEvent = std::function<void(Tdirtree* sender, QObject* source)>;

    explicit Tdirtree(QWidget* parent = nullptr);
    ~Tdirtree() override;

    // The selected directory's path (ending in "/"), or "?" when nothing is selected.
    std::string Directory() const;
    // Selects the node of Value, reading directories on the way down from the root, and
    // scrolls it to the top of the view. "?", a path that does not exist, one whose levels
    // are not all in the tree (filtered out), or the node already selected changes nothing
    // (the view stays where it is).
    void SetDirectory(const std::string& value);

    // Reads every node read so far again (F5 does this).
    void Refresh();

    // Rebuilds the tree and selects the previous directory again; when it is gone, its
    // nearest ancestor still in the tree; with none, the last directory selected before
    // (initially the process's current directory), else the root.
    void Reload();

    // The directory of the node under the mouse during a drag, or of the last node
    // highlighted in it; empty when no node was highlighted since the drag entered.
    const std::string& DropTargetDir() const { return FDropTargetDir; }

    // The data of the drag being handled while OnDragOver or OnDragDrop runs; null otherwise.
    const QMimeData* DragData() const { return FDragData; }

    // True once the tree is built; selection changes are reported only then.
    bool Ready() const { return FReady; }

    bool ReadOnStart() const { return FReadOnStart; }
    void SetReadOnStart(bool value) { FReadOnStart = value; }
    tDirType DirType() const { return FDirType; }
    void SetDirType(tDirType value);  // a different value reloads
    bool GoBelowRecycleBin() const { return FGoBelowRecycleBin; }
    void SetGoBelowRecycleBin(bool value);  // a different value reloads

    // Raised after the selection changed, only while Ready.
    void SetOnChange(TNotifyEvent handler) { FOnChange = std::move(handler); }
    void SetOnAddDir(taddfileevent handler) { FOnAddDir = std::move(handler); }
    void SetOnDragOver(TDragOverEvent handler) { FOnDragOver = std::move(handler); }
    void SetOnDragDrop(TDragDropEvent handler) { FOnDragDrop = std::move(handler); }

    // The directory of a node (ending in "/"); empty for a placeholder or no item.
    static std::string PathOf(const QTreeWidgetItem* item);

    // Whether the attribute word passes the DirType filter.
    bool AcceptAttr(std::uint16_t attributes) const;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;

private:
    class TDirNode;

    void BuildDrives();
    // The names of Node's subdirectories that pass the filters, sorted; none for a node that
    // is the same directory as one of its ancestors (a link loop).
    std::vector<std::string> SubdirectoryNames(TDirNode* node) const;
    // Reads Node's subdirectories into child nodes, once.
    void ReadChildren(TDirNode* node);
    // Brings the children of a node read before up to date with its directory.
    void RereadChildren(TDirNode* node);
    // RereadChildren for Node and every node read below it.
    void RereadTree(TDirNode* node);
    void ProbeChildren(TDirNode* node);
    // A node for Path, the last child of Parent (at Index when given), or the top-level node.
    TDirNode* AddDirNode(TDirNode* parent, const std::string& path, int index = -1);
    // The node of Path (ending in "/"), walked down from the root; with Read, each level is
    // read on the way (ReadChildren). Null when a level is not in the tree.
    TDirNode* WalkTo(const std::string& path, bool read);
    bool AcceptDir(const std::string& path) const;
    void NodeExpanded(QTreeWidgetItem* item);
    void NodeCollapsed(QTreeWidgetItem* item);
    void DirectoryChanged(const QString& path);
    void RereadChangedDirectories();
    void SelectionChanged(QTreeWidgetItem* current);
    // The node under the drag, remembered as the drop target; false when none.
    bool TrackDropTarget(const QPoint& position);

    bool FReady = false;
    bool FBuilt = false;
    bool FReadOnStart = true;
    tDirType FDirType = dtNormal | dtAll;
    bool FGoBelowRecycleBin = true;
    std::string FLastDir;  // the last directory selected; initially the current directory
    std::string FDropTargetDir;
    QPersistentModelIndex FDropHighlight;
    const QMimeData* FDragData = nullptr;
    QIcon FRootIcon;
    QIcon FFolderIcon;
    QFileSystemWatcher* FWatcher;           // the expanded nodes' directories
    QTimer* FRereadTimer;                   // gathers a burst of changes into one reading
    std::set<std::string> FChangedDirectories;
    TNotifyEvent FOnChange;
    taddfileevent FOnAddDir;
    TDragOverEvent FOnDragOver;
    TDragDropEvent FOnDragDrop;
};

}  // namespace xavo
