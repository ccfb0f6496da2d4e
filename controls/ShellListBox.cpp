// The file list, see ShellListBox.h.
#include "ShellListBox.h"

#include "FileSystem.h"
#include "FocusHighlight.h"
#include "PathText.h"
#include "WaitCursor.h"

#include <QCoreApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QIcon>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QUrl>

#include <algorithm>

namespace xavo {

namespace {

// Draws an item: background, 16 x 16 icon at (left + 1, top), then the text after a
// gap of one item height. Icons come from QFileIconProvider, one look-up per extension:
// asking per file would let the provider open every visible file to sniff its type.
class TShellListDelegate : public QStyledItemDelegate {
public:
    explicit TShellListDelegate(TShellListBox* list) : QStyledItemDelegate(list), FList(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& given, const QModelIndex& index) const override {
        QStyleOptionViewItem option(given);
        if (!FList->hasFocus()) option.palette = UnfocusedSelectionPalette(option.palette);
        const std::string& path = FList->Items()[static_cast<std::size_t>(index.row())];
        const bool enabled = (option.state & QStyle::State_Enabled) != 0;
        const bool selected = (option.state & QStyle::State_Selected) != 0;
        const QPalette::ColorGroup group = !enabled ? QPalette::Disabled
                                           : (option.state & QStyle::State_Active) ? QPalette::Active
                                                                                    : QPalette::Inactive;
        painter->save();
        painter->fillRect(option.rect, option.palette.brush(group, selected ? QPalette::Highlight : QPalette::Base));
        QRect textRect = option.rect.adjusted(4, 0, 0, 0);
        if (FList->ShowIcon()) {
            IconFor(path).paint(painter, QRect(option.rect.left() + 1, option.rect.top(), 16, 16));
            textRect.setLeft(option.rect.left() + option.rect.height() + 4);
        }
        painter->setPen(option.palette.color(group, selected && enabled ? QPalette::HighlightedText : QPalette::Text));
        painter->setFont(option.font);
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, FList->DisplayText(path));
        if ((option.state & QStyle::State_HasFocus) != 0) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(option);
            focus.backgroundColor = option.palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
            FList->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, FList);
        }
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        const int height = std::max(TShellListBox::kItemHeight, option.fontMetrics.height() + 2);
        return QSize(FList->viewport()->width(), height);
    }

private:
    const QIcon& IconFor(const std::string& path) const {
        const std::string_view name = FileNameOf(path);
        const std::size_t dot = name.rfind('.');
        const QString key = dot == std::string_view::npos || dot == 0
                                ? QString()
                                : QString::fromUtf8(name.substr(dot + 1)).toLower();
        auto it = FIcons.find(key);
        if (it == FIcons.end()) {
            const QIcon icon = key.isEmpty() ? FProvider.icon(QAbstractFileIconProvider::File)
                                             : FProvider.icon(QFileInfo(PathToQString(path)));
            it = FIcons.insert(key, icon.isNull() ? FProvider.icon(QAbstractFileIconProvider::File) : icon);
        }
        return *it;
    }

    TShellListBox* FList;
    QFileIconProvider FProvider;
    mutable QHash<QString, QIcon> FIcons;
};

// The mark of a drag from a file list; its data is the process id.
const QString kFileListDragFormat = QStringLiteral("application/x-xavoline-file-list");

QByteArray ProcessMark() { return QByteArray::number(QCoreApplication::applicationPid()); }

}  // namespace

void TShellListModel::SetPaths(std::vector<std::string> paths) {
    beginResetModel();
    FPaths = std::move(paths);
    endResetModel();
}

int TShellListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FPaths.size());
}

QVariant TShellListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const std::string& path = FPaths[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return PathToQString(path);
    if (role == Qt::UserRole) return QByteArray(path.data(), static_cast<qsizetype>(path.size()));
    return {};
}

Qt::ItemFlags TShellListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

bool IsFileListDrag(const QMimeData* mime) {
    return mime != nullptr && mime->hasFormat(kFileListDragFormat) && mime->data(kFileListDragFormat) == ProcessMark();
}

QStringList TShellListModel::mimeTypes() const { return {QStringLiteral("text/uri-list"), kFileListDragFormat}; }

QMimeData* TShellListModel::mimeData(const QModelIndexList& indexes) const {
    QList<QUrl> urls;
    for (const QModelIndex& index : indexes) {
        if (index.isValid() && index.row() < rowCount())
            urls.append(PathToUrl(FPaths[static_cast<std::size_t>(index.row())]));
    }
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    mime->setData(kFileListDragFormat, ProcessMark());
    return mime;
}

TShellListBox::TShellListBox(QWidget* parent) : QListView(parent), FModel(new TShellListModel(this)) {
    setModel(FModel);
    setItemDelegate(new TShellListDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setLayoutMode(QListView::SinglePass);
    setResizeMode(QListView::Adjust);  // rows stay as wide as the list
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    setDragEnabled(false);
}

void TShellListBox::SetDirectory(const std::string& directory) {
    FDirectory = WithTrailingSlash(directory);
    Update();
}

void TShellListBox::SetMask(const std::string& mask) {
    FMask = mask;
    Update();
}

void TShellListBox::Update() {
    FModel->SetPaths({});
    const TFileMask mask(FMask);
    if (FDirectory.empty()) {
        FDirectory = WithTrailingSlash(PathFromQString(QCoreApplication::applicationDirPath()));
    }
    const TWaitCursor waitCursor;
    std::vector<std::string> paths;
    ListFiles(FDirectory, mask, paths);  // nothing when the directory cannot be read
    FModel->SetPaths(std::move(paths));
    emit listed();
}

void TShellListBox::SetShowExtention(bool value) {
    if (value == FShowExtention) return;
    FShowExtention = value;
    viewport()->update();
}

void TShellListBox::SetShowFullPath(bool value) {
    if (value == FShowFullPath) return;
    FShowFullPath = value;
    viewport()->update();
}

void TShellListBox::SetShowIcon(bool value) {
    if (value == FShowIcon) return;
    FShowIcon = value;
    viewport()->update();
}

int TShellListBox::IndexOf(const std::string& path) const {
    const std::vector<std::string>& items = Items();
    const auto found = std::find(items.begin(), items.end(), path);
    return found == items.end() ? -1 : static_cast<int>(found - items.begin());
}

int TShellListBox::ItemIndex() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TShellListBox::SetItemIndex(int index) {
    if (index < 0 || index >= Count()) {
        clearSelection();
        setCurrentIndex(QModelIndex());
        return;
    }
    setCurrentIndex(FModel->index(index));
}

QString TShellListBox::DisplayText(const std::string& path) const {
    if (FShowFullPath) return PathToQString(path);
    std::string_view name = FileNameOf(path);
    if (!FShowExtention) {
        // A leading dot names a hidden file; it does not start an extension.
        const std::size_t dot = name.rfind('.');
        if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    }
    return PathToQString(name);
}

void TShellListBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();  // a right click is for the context menu: it chooses nothing
        return;
    }
    const QModelIndex hit = indexAt(event->position().toPoint());
    FUserAction = true;
    QListView::mousePressEvent(event);
    FUserAction = false;
    // Clicking the current item again counts as choosing it, as a click on a list does.
    if (event->button() == Qt::LeftButton && hit.isValid() && hit == currentIndex()) Click();
    FUserChanged = false;
}

void TShellListBox::mouseMoveEvent(QMouseEvent* event) {
    RunUserAction([&] { QListView::mouseMoveEvent(event); }, false);
}

void TShellListBox::keyPressEvent(QKeyEvent* event) {
    RunUserAction([&] { QListView::keyPressEvent(event); }, true);
}

void TShellListBox::focusInEvent(QFocusEvent* event) {
    QListView::focusInEvent(event);
    viewport()->update();  // the selection's colours follow the focus
}

void TShellListBox::focusOutEvent(QFocusEvent* event) {
    QListView::focusOutEvent(event);
    viewport()->update();
}

void TShellListBox::RunUserAction(const std::function<void()>& handle, bool keyboard) {
    FUserAction = true;
    FUserChanged = false;
    handle();
    FUserAction = false;
    if (!std::exchange(FUserChanged, false)) return;
    FChoosingByKeyboard = keyboard;
    Click();
    FChoosingByKeyboard = false;
}

void TShellListBox::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QListView::currentChanged(current, previous);
    if (FUserAction && current.isValid()) FUserChanged = true;
}

void TShellListBox::Click() {
    const int index = ItemIndex();
    if (index < 0) return;
    FSelectedFileName = Items()[static_cast<std::size_t>(index)];
    if (FOnChange) {
        const TNotifyEvent handler = FOnChange;  // the handler may replace itself
        handler(this);
    }
}

}  // namespace xavo
