// The file list: the regular files of one directory that match a mask list, one item per
// file, each item the file's full path (file-system bytes), shown with its small icon.
//
// TShellListModel holds the sorted paths (one replacement per listing, so 100,000 files
// cost one model reset); TShellListBox is the view with the Directory / Mask properties,
// the Show flags and the OnChange report, which fires only for a user's mouse or keyboard
// selection. Entry points: TShellListBox::SetDirectory, SetMask, Update, SelectedFileName.
#pragma once

#include <QAbstractListModel>
#include <QListView>

#include <functional>
#include <string>
#include <vector>

class QMimeData;

namespace xavo {

class TShellListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    // Replaces all items in one reset; Paths are full paths, already in display order.
    void SetPaths(std::vector<std::string> paths);
    const std::vector<std::string>& Paths() const { return FPaths; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // DisplayRole: the full path decoded for display; Qt::UserRole: the path's bytes.
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    // Dragged items carry their files as local URLs, and a mark that IsFileListDrag reads.
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

private:
    std::vector<std::string> FPaths;
};

// True for the data of a drag that started in a file list of this process (a drop target
// can tell it from files dragged out of another program).
bool IsFileListDrag(const QMimeData* mime);

class TShellListBox : public QListView {
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(TShellListBox* sender)>;

    static constexpr int kItemHeight = 17;

    explicit TShellListBox(QWidget* parent = nullptr);

    // The directory listed, always ending in "/" once set non-empty. Setting it re-lists.
    const std::string& Directory() const { return FDirectory; }
    void SetDirectory(const std::string& directory);

    // One or more masks separated by ";". Setting it re-lists.
    const std::string& Mask() const { return FMask; }
    void SetMask(const std::string& mask);

    // Re-reads the directory under the hour-glass (no item current afterwards), then
    // reports listed(). An empty Directory becomes the program's directory first. A missing
    // or unreadable directory gives an empty list.
    void Update();

    bool ShowExtention() const { return FShowExtention; }
    void SetShowExtention(bool value);
    bool ShowFullPath() const { return FShowFullPath; }
    void SetShowFullPath(bool value);
    bool ShowIcon() const { return FShowIcon; }
    void SetShowIcon(bool value);

    // The full path of the item the user last selected (empty until then).
    const std::string& SelectedFileName() const { return FSelectedFileName; }

    // Fired after SelectedFileName is set, when the user selects an item by mouse or
    // keyboard; never for a selection made from code.
    void SetOnChange(TNotifyEvent handler) { FOnChange = std::move(handler); }
    // True while OnChange runs for an item chosen with the keyboard (the arrow keys, ...).
    bool ChoosingByKeyboard() const { return FChoosingByKeyboard; }

    // The items (full paths) in display order.
    const std::vector<std::string>& Items() const { return FModel->Paths(); }
    int Count() const { return static_cast<int>(Items().size()); }
    // The index of the item Path (exact bytes), -1 when it is not listed.
    int IndexOf(const std::string& path) const;
    // The current item's index, -1 for none. Setting it selects from code (no OnChange).
    int ItemIndex() const;
    void SetItemIndex(int index);

    // The text an item shows under the Show flags (name without extension: from the last
    // "." of the name on removed, so archive.tar.gz shows as archive.tar).
    QString DisplayText(const std::string& path) const;

signals:
    // The items were read again (Update).
    void listed();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    // What a user's selection does: remember the path, then report.
    void Click();
    // Runs the base class's handling of a mouse or key (Keyboard) event; Click when it moved
    // the current item.
    void RunUserAction(const std::function<void()>& handle, bool keyboard);

    TShellListModel* FModel;
    std::string FDirectory;
    std::string FMask;
    std::string FSelectedFileName;
    bool FShowExtention = true;
    bool FShowFullPath = false;
    bool FShowIcon = true;
    bool FUserAction = false;   // a mouse or key event is being handled
    bool FUserChanged = false;  // ... and it moved the current item
    bool FChoosingByKeyboard = false;
    TNotifyEvent FOnChange;
};

}  // namespace xavo
