// The directory tree, see DirTree.h.
#include "DirTree.h"

#include "FileSystem.h"
#include "FocusHighlight.h"
#include "PathText.h"
#include "WaitCursor.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QStyle>
#include <QTimer>
#include <QUrl>

#include <cerrno>
#include <optional>
#include <unordered_set>
#include <unistd.h>
#include <vector>

namespace xavo {

namespace {

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) return false;
    }
    return true;
}

bool IsRecycleBinName(std::string_view name, std::string_view before1, std::string_view before2) {
    if (EqualsIgnoringAsciiCase(name, "recycled") || name == ".Trash") return true;
    if (name.substr(0, 7) == ".Trash-" && name.size() > 7 &&
        name.substr(7).find_first_not_of("0123456789") == std::string_view::npos)
        return true;
    return name == "Trash" && before1 == "share" && before2 == ".local";
}

std::string CurrentDirectory() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return "/";
        buffer.resize(buffer.size() * 2);
    }
    return WithTrailingSlash(buffer.data());
}

// How long after a change of a watched directory it is read: the changes of that time (an
// archive being unpacked) are read at once.
constexpr int kRereadDelayMs = 200;

// A node's directory as the watcher names it (without its final "/"); nothing for a name
// the watcher's text cannot give back byte for byte (one that is not UTF-8).
std::optional<QString> WatchedName(const std::string& path) {
    const std::string bytes = WithoutTrailingSlash(path);
    QString name = QFile::decodeName(QByteArray::fromStdString(bytes));
    if (QFile::encodeName(name).toStdString() != bytes) return std::nullopt;
    return name;
}

// The mark of a drag from a directory tree; its data is the process id.
const QString kDirTreeDragFormat = QStringLiteral("application/x-xavoline-dir-tree");

QByteArray ProcessMark() { return QByteArray::number(QCoreApplication::applicationPid()); }

// Makes the drag's data known to the handlers for a scope.
class TDragDataScope {
public:
    TDragDataScope(const QMimeData*& slot, const QMimeData* data) : FSlot(slot) { FSlot = data; }
    ~TDragDataScope() { FSlot = nullptr; }
    TDragDataScope(const TDragDataScope&) = delete;
    TDragDataScope& operator=(const TDragDataScope&) = delete;

private:
    const QMimeData*& FSlot;
};

// Suspends painting of a widget for a scope.
class TUpdatesSuspended {
public:
    explicit TUpdatesSuspended(QWidget* widget) : FWidget(widget), FWasEnabled(widget->updatesEnabled()) {
        FWidget->setUpdatesEnabled(false);
    }
    ~TUpdatesSuspended() { FWidget->setUpdatesEnabled(FWasEnabled); }
    TUpdatesSuspended(const TUpdatesSuspended&) = delete;
    TUpdatesSuspended& operator=(const TUpdatesSuspended&) = delete;

private:
    QWidget* FWidget;
    bool FWasEnabled;
};

}  // namespace

bool IsDirTreeDrag(const QMimeData* mime) {
    return mime != nullptr && mime->hasFormat(kDirTreeDragFormat) && mime->data(kDirTreeDragFormat) == ProcessMark();
}

bool IsBelowRecycleBin(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        if (!part.empty()) parts.push_back(part);
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        if (IsRecycleBinName(parts[i], i >= 1 ? parts[i - 1] : "", i >= 2 ? parts[i - 2] : "")) return true;
    }
    return false;
}

// A directory node; placeholders are plain items without this data.
class Tdirtree::TDirNode : public QTreeWidgetItem {
public:
    static constexpr int kType = QTreeWidgetItem::UserType + 1;

    explicit TDirNode(std::string path) : QTreeWidgetItem(kType), Path(std::move(path)) {}

    std::string Path;
    bool Scanned = false;
    bool HasId = false;
    TFileId Id;

    static TDirNode* From(QTreeWidgetItem* item) {
        return item != nullptr && item->type() == kType ? static_cast<TDirNode*>(item) : nullptr;
    }
    static const TDirNode* From(const QTreeWidgetItem* item) {
        return item != nullptr && item->type() == kType ? static_cast<const TDirNode*>(item) : nullptr;
    }
};

Tdirtree::Tdirtree(QWidget* parent)
    : QTreeWidget(parent),
      FLastDir(CurrentDirectory()),
      FWatcher(new QFileSystemWatcher(this)),
      FRereadTimer(new QTimer(this)) {
    setHeaderHidden(true);
    setColumnCount(1);
    // Deep or long names widen the column and the tree scrolls sideways, rather than
    // cutting names down to "…" in a narrow pane.
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDropIndicatorShown(false);
    setDragEnabled(false);

    QFileIconProvider provider;
    FRootIcon = provider.icon(QAbstractFileIconProvider::Drive);
    const QIcon closed = provider.icon(QAbstractFileIconProvider::Folder);
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    for (const QSize& size : {QSize(16, 16), QSize(32, 32)}) {
        FFolderIcon.addPixmap(closed.pixmap(size), QIcon::Normal);
        FFolderIcon.addPixmap(open.pixmap(size), QIcon::Selected);
    }

    FRereadTimer->setSingleShot(true);
    FRereadTimer->setInterval(kRereadDelayMs);
    connect(FWatcher, &QFileSystemWatcher::directoryChanged, this, &Tdirtree::DirectoryChanged);
    connect(FRereadTimer, &QTimer::timeout, this, &Tdirtree::RereadChangedDirectories);
    connect(this, &QTreeWidget::itemExpanded, this, &Tdirtree::NodeExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &Tdirtree::NodeCollapsed);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { SelectionChanged(current); });
}

Tdirtree::~Tdirtree() {
    FReady = false;
    blockSignals(true);  // deleting the nodes must not report selection changes
}

std::string Tdirtree::PathOf(const QTreeWidgetItem* item) {
    const TDirNode* node = TDirNode::From(item);
    return node != nullptr ? node->Path : std::string();
}

std::string Tdirtree::Directory() const {
    const TDirNode* node = TDirNode::From(currentItem());
    return node != nullptr ? node->Path : std::string("?");
}

void Tdirtree::SetDirectory(const std::string& value) {
    if (value.empty() || value == "?") return;
    const std::string path = WithTrailingSlash(value);
    if (path != "/" && !IsDirectory(path.substr(0, path.size() - 1))) return;

    const TWaitCursor waitCursor;
    const TUpdatesSuspended updatesSuspended(this);
    TDirNode* found = WalkTo(path, true);
    // The node already selected: the view stays where the user has put it (a file opened
    // from the list must not move the folder under the mouse).
    if (found == nullptr || found == currentItem()) return;
    setCurrentItem(found);
    scrollToItem(found, QAbstractItemView::PositionAtTop);
}

Tdirtree::TDirNode* Tdirtree::WalkTo(const std::string& path, bool read) {
    TDirNode* found = nullptr;
    for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string_view prefix(path.data(), slash + 1);
        TDirNode* next = nullptr;
        const int count = found == nullptr ? topLevelItemCount() : found->childCount();
        for (int i = 0; i < count && next == nullptr; ++i) {
            TDirNode* node = TDirNode::From(found == nullptr ? topLevelItem(i) : found->child(i));
            if (node != nullptr && node->Path == prefix) next = node;
        }
        if (next == nullptr) return nullptr;
        if (read) ReadChildren(next);
        found = next;
    }
    return found;
}

void Tdirtree::Refresh() {
    const TWaitCursor waitCursor;
    const TUpdatesSuspended updatesSuspended(this);
    for (int i = 0; i < topLevelItemCount(); ++i) RereadTree(TDirNode::From(topLevelItem(i)));
}

void Tdirtree::Reload() {
    const std::string old = Directory();
    BuildDrives();
    SetDirectory(old);
    // The old directory may be gone: its nearest ancestor still in the tree instead.
    std::string ancestor = old;
    while (topLevelItemCount() > 0 && currentItem() == nullptr && ancestor.size() > 1 && ancestor[0] == '/') {
        ancestor = WithTrailingSlash(ParentDirectoryOf(ancestor));
        SetDirectory(ancestor);
    }
    if (currentItem() == nullptr && topLevelItemCount() > 0) {
        const std::string lastDir = FLastDir;
        SetDirectory(lastDir);
        if (Directory() != lastDir) setCurrentItem(topLevelItem(0));
    }
}

void Tdirtree::SetDirType(tDirType value) {
    if (value == FDirType) return;
    FDirType = value;
    Reload();
}

void Tdirtree::SetGoBelowRecycleBin(bool value) {
    if (value == FGoBelowRecycleBin) return;
    FGoBelowRecycleBin = value;
    Reload();
}

bool Tdirtree::AcceptAttr(std::uint16_t attributes) const {
    if ((FDirType & dtAll) != 0) return true;
    if ((attributes & faHidden) != 0 && (FDirType & dtHidden) == 0) return false;
    if ((attributes & faSystem) != 0 && (FDirType & dtSystem) == 0) return false;
    if ((attributes & faArchive) != 0 && (FDirType & dtArchive) == 0) return false;
    return (FDirType & dtNormal) != 0 || (attributes & (faHidden | faSystem | faArchive)) != 0;
}

bool Tdirtree::AcceptDir(const std::string& path) const {
    bool accepted = FGoBelowRecycleBin || !IsBelowRecycleBin(path);
    if (accepted && FOnAddDir) FOnAddDir(path, accepted);
    return accepted;
}

void Tdirtree::BuildDrives() {
    FReady = false;
    {
        const TWaitCursor waitCursor;
        const TUpdatesSuspended updatesSuspended(this);
        clear();
        if (const QStringList watched = FWatcher->directories(); !watched.isEmpty()) FWatcher->removePaths(watched);
        FChangedDirectories.clear();
        FDropHighlight = QPersistentModelIndex();
        QCoreApplication::processEvents();
        if (AcceptDir("/")) ProbeChildren(AddDirNode(nullptr, "/"));
        FBuilt = true;
    }
    FReady = true;
}

std::vector<std::string> Tdirtree::SubdirectoryNames(TDirNode* node) const {
    // A node that is the same directory as an ancestor (reached through a link) would
    // repeat the ancestor's subtree without end; it is shown without children.
    node->HasId = FileIdOf(node->Path, node->Id);
    for (QTreeWidgetItem* up = node->parent(); up != nullptr && node->HasId; up = up->parent()) {
        TDirNode* ancestor = TDirNode::From(up);
        if (ancestor == nullptr) continue;
        if (!ancestor->HasId) ancestor->HasId = FileIdOf(ancestor->Path, ancestor->Id);
        if (ancestor->HasId && ancestor->Id == node->Id) return {};
    }

    std::vector<std::string> names;
    ForEachSubdirectory(node->Path, [&](const TSubdirectory& sub) {
        if (AcceptDir(node->Path + std::string(sub.Name) + '/') && AcceptAttr(sub.Attributes))
            names.emplace_back(sub.Name);
        return true;
    });
    SortPathsIgnoringCase(names);
    return names;
}

void Tdirtree::ReadChildren(TDirNode* node) {
    if (node == nullptr || node->Scanned) return;
    qDeleteAll(node->takeChildren());
    node->Scanned = true;
    for (const std::string& name : SubdirectoryNames(node)) AddDirNode(node, node->Path + name + '/');
}

void Tdirtree::RereadChildren(TDirNode* node) {
    if (node == nullptr || !node->Scanned) return;
    const std::vector<std::string> names = SubdirectoryNames(node);
    const std::unordered_set<std::string_view> present(names.begin(), names.end());
    const auto nameOf = [node](const QTreeWidgetItem* child) {
        const std::string path = PathOf(child);
        return path.size() > node->Path.size() ? path.substr(node->Path.size(), path.size() - node->Path.size() - 1)
                                               : std::string();
    };
    // The children that are gone; a selection inside one passes to Node.
    for (int i = node->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* child = node->child(i);
        if (TDirNode::From(child) != nullptr && present.contains(nameOf(child))) continue;
        for (const QTreeWidgetItem* up = currentItem(); up != nullptr; up = up->parent()) {
            if (up == child) {
                setCurrentItem(node);
                break;
            }
        }
        delete node->takeChild(i);
    }
    // The new ones, where they sort among those kept (which are in the same order); a node
    // in sight reads their children too, for their expand buttons.
    int at = 0;
    for (const std::string& name : names) {
        if (at < node->childCount() && nameOf(node->child(at)) == name) {
            ++at;
            continue;
        }
        TDirNode* added = AddDirNode(node, node->Path + name + '/', at++);
        if (node->isExpanded())
            ReadChildren(added);
        else
            ProbeChildren(added);
    }
}

void Tdirtree::RereadTree(TDirNode* node) {
    if (node == nullptr || !node->Scanned) return;
    RereadChildren(node);
    for (int i = 0; i < node->childCount(); ++i) RereadTree(TDirNode::From(node->child(i)));
}

void Tdirtree::ProbeChildren(TDirNode* node) {
    if (node == nullptr || node->Scanned) return;
    bool any = false;
    ForEachSubdirectory(node->Path, [&](const TSubdirectory& sub) {
        any = AcceptDir(node->Path + std::string(sub.Name) + '/') && AcceptAttr(sub.Attributes);
        return !any;
    });
    if (!any) return;
    auto* placeholder = new QTreeWidgetItem(node, QStringList(QStringLiteral(" ")));
    placeholder->setFlags(Qt::NoItemFlags);
}

Tdirtree::TDirNode* Tdirtree::AddDirNode(TDirNode* parent, const std::string& path, int index) {
    auto* node = new TDirNode(WithTrailingSlash(path));
    if (parent == nullptr) {
        node->setText(0, QStringLiteral("/"));
        node->setIcon(0, FRootIcon);
        addTopLevelItem(node);
    } else {
        const std::string_view withoutSlash(node->Path.data(), node->Path.size() - 1);
        node->setText(0, PathToQString(FileNameOf(withoutSlash)));
        node->setIcon(0, FFolderIcon);
        if (index >= 0)
            parent->insertChild(index, node);
        else
            parent->addChild(node);
    }
    node->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled);
    return node;
}

void Tdirtree::NodeExpanded(QTreeWidgetItem* item) {
    TDirNode* node = TDirNode::From(item);
    if (node == nullptr) return;
    const TWaitCursor waitCursor;
    // Read on the first expansion, read again on every later one; the children likewise.
    const auto read = [this](TDirNode* n) {
        if (n != nullptr && n->Scanned)
            RereadChildren(n);
        else
            ReadChildren(n);
    };
    read(node);
    for (int i = 0; i < node->childCount(); ++i) read(TDirNode::From(node->child(i)));
    // A directory the watcher cannot name is only read again on expansion and F5.
    const std::optional<QString> watched = WatchedName(node->Path);
    if (watched && !FWatcher->directories().contains(*watched) && QFileInfo(*watched).isDir()) FWatcher->addPath(*watched);
}

void Tdirtree::NodeCollapsed(QTreeWidgetItem* item) {
    const TDirNode* node = TDirNode::From(item);
    const std::optional<QString> watched = node != nullptr ? WatchedName(node->Path) : std::nullopt;
    if (watched && FWatcher->directories().contains(*watched)) FWatcher->removePath(*watched);
}

void Tdirtree::DirectoryChanged(const QString& path) {
    FChangedDirectories.insert(WithTrailingSlash(QFile::encodeName(path).toStdString()));
    if (!FRereadTimer->isActive()) FRereadTimer->start();  // a directory that never rests is still read
}

void Tdirtree::RereadChangedDirectories() {
    const std::set<std::string> changed = std::exchange(FChangedDirectories, {});
    for (const std::string& path : changed) RereadChildren(WalkTo(path, false));
}

void Tdirtree::SelectionChanged(QTreeWidgetItem* current) {
    if (!FReady) return;
    if (const TDirNode* node = TDirNode::From(current)) FLastDir = node->Path;
    if (FOnChange) {
        const TNotifyEvent handler = FOnChange;
        handler(this);
    }
}

void Tdirtree::showEvent(QShowEvent* event) {
    QTreeWidget::showEvent(event);
    if (FReadOnStart && !FBuilt) BuildDrives();
}

void Tdirtree::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F5 && event->modifiers() == Qt::NoModifier) {
        Refresh();
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void Tdirtree::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();  // the context menu is for the selected directory; it stays selected
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

bool Tdirtree::TrackDropTarget(const QPoint& position) {
    // Only a node in sight: the column may run on past the viewport's edge.
    QTreeWidgetItem* item = viewport()->rect().contains(position) ? itemAt(position) : nullptr;
    const TDirNode* node = TDirNode::From(item);
    const QPersistentModelIndex highlight = node != nullptr ? QPersistentModelIndex(indexFromItem(item))
                                                            : QPersistentModelIndex();
    if (node != nullptr) FDropTargetDir = node->Path;
    if (highlight != FDropHighlight) {
        FDropHighlight = highlight;
        viewport()->update();
    }
    return node != nullptr;
}

void Tdirtree::dragEnterEvent(QDragEnterEvent* event) {
    FDropTargetDir.clear();
    const TDragDataScope dragData(FDragData, event->mimeData());
    if (!FOnDragOver || !FOnDragOver(this, event->source())) {
        event->ignore();
        return;
    }
    setState(QAbstractItemView::DraggingState);  // lets the view scroll during the drag
    TrackDropTarget(event->position().toPoint());
    event->acceptProposedAction();
}

void Tdirtree::dragMoveEvent(QDragMoveEvent* event) {
    QTreeWidget::dragMoveEvent(event);  // auto-scrolling; its verdict is replaced below
    TrackDropTarget(event->position().toPoint());
    const TDragDataScope dragData(FDragData, event->mimeData());
    if (FOnDragOver && FOnDragOver(this, event->source())) event->acceptProposedAction();
    else event->ignore();
}

void Tdirtree::dragLeaveEvent(QDragLeaveEvent* event) {
    QTreeWidget::dragLeaveEvent(event);
    FDropHighlight = QPersistentModelIndex();
    viewport()->update();
}

void Tdirtree::dropEvent(QDropEvent* event) {
    // The items themselves never move: what a drop does on disk is the handler's business.
    stopAutoScroll();
    setState(QAbstractItemView::NoState);
    TrackDropTarget(event->position().toPoint());
    FDropHighlight = QPersistentModelIndex();
    viewport()->update();
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (FOnDragDrop) {
        const TDragDataScope dragData(FDragData, event->mimeData());
        const TDragDropEvent handler = FOnDragDrop;
        handler(this, event->source());
    }
}

void Tdirtree::startDrag(Qt::DropActions supportedActions) {
    // Not the base class's drag: after a move it would delete the dragged node.
    QList<QTreeWidgetItem*> items = selectedItems();
    if (items.isEmpty()) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(mimeData(items));
    drag->exec(supportedActions | Qt::CopyAction, Qt::CopyAction);
}

void Tdirtree::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem row(option);
    if (FDropHighlight.isValid() && index == FDropHighlight)
        row.state |= QStyle::State_Selected;  // where a drop would go, in full colour
    else if (!hasFocus())
        row.palette = UnfocusedSelectionPalette(row.palette);
    QTreeWidget::drawRow(painter, row, index);
}

void Tdirtree::focusInEvent(QFocusEvent* event) {
    QTreeWidget::focusInEvent(event);
    viewport()->update();  // the selection's colours follow the focus
}

void Tdirtree::focusOutEvent(QFocusEvent* event) {
    QTreeWidget::focusOutEvent(event);
    viewport()->update();
}

QStringList Tdirtree::mimeTypes() const { return {QStringLiteral("text/uri-list"), kDirTreeDragFormat}; }

QMimeData* Tdirtree::mimeData(const QList<QTreeWidgetItem*>& items) const {
    QList<QUrl> urls;
    for (QTreeWidgetItem* item : items) {
        if (const TDirNode* node = TDirNode::From(item)) urls.append(PathToUrl(node->Path));
    }
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    mime->setData(kDirTreeDragFormat, ProcessMark());
    return mime;
}

}  // namespace xavo
