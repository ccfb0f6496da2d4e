// The directory tree: the single top-level node "/" and, below it, directories read lazily
// (a node's subdirectories on its first expansion, and theirs too so that every visible
// node shows a correct expand button).
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
#include <string>
#include <string_view>

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
    // Selects the node of Value, reading directories on the way down from the root. "?",
    // a path that does not exist, or one whose levels are not all in the tree (filtered
    // out) changes nothing.
    void SetDirectory(const std::string& value);

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
    void ReadChildren(TDirNode* node);
    void ProbeChildren(TDirNode* node);
    TDirNode* AddDirNode(TDirNode* parent, const std::string& path);
    bool AcceptDir(const std::string& path) const;
    void NodeExpanded(QTreeWidgetItem* item);
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
    TNotifyEvent FOnChange;
    taddfileevent FOnAddDir;
    TDragOverEvent FOnDragOver;
    TDragDropEvent FOnDragDrop;
};

}  // namespace xavo
