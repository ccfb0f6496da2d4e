// The GREP results list: a list of Shift-JIS byte strings whose horizontal scroll extent
// is always its widest item plus one "x".
//
// Items are kept as bytes and decoded only to be measured and drawn. Appending is
// constant-time: rows reach the view in batches, so a million lines appended one by one
// stay fast; every other operation first hands the pending rows to the view. Entry
// point: TTextListBox.
#pragma once

#include <QListView>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace xavo {

class TTextListModel;

class TTextListBox : public QListView {
    Q_OBJECT

public:
    explicit TTextListBox(QWidget* parent = nullptr);
    ~TTextListBox() override;

    // --- Items (Shift-JIS bytes). Indexes from 0; a bad index raises std::out_of_range.
    int Count() const;
    const std::string& Item(int index) const;
    // Decoded for display: at most kMaxShownUnits UTF-16 units, a longer item cut and
    // ended with "…" (its bytes stay whole).
    static constexpr int kMaxShownUnits = 2048;
    QString ItemText(int index) const;

    // How items are decoded for display and measuring (default: Shift-JIS). The results
    // list shows a result line's path as a file name and its text as Shift-JIS.
    using TDisplayDecoder = std::function<QString(std::string_view bytes)>;
    void SetDisplayDecoder(TDisplayDecoder decoder);
    int Add(std::string_view sjis);              // returns the new item's index
    int Add(const QString& text);                // encoded to Shift-JIS first
    // An item shown as Shown instead of its decoded bytes (a result line whose file holds
    // characters Shift-JIS cannot); the bytes stay what the tag jump reads. Few items have
    // one; Clear drops them, Insert and Delete keep them with their items.
    int Add(std::string_view sjis, const QString& shown);
    void Insert(int index, std::string_view sjis);
    void Delete(int index);
    void Clear();

    // The selected item, -1 for none.
    int ItemIndex();
    void SetItemIndex(int index);

    // --- Properties.
    int TabWidth() const { return FTabWidth; }   // tab stops in quarter characters; 0 = none
    void SetTabWidth(int quarterCharacters);
    int ItemHeight() const;                      // pixels; the font's height unless set
    void SetItemHeight(int pixels);
    bool MultiSelect() const { return FMultiSelect; }
    void SetMultiSelect(bool multi);
    bool ExtendedSelect() const { return FExtendedSelect; }   // with MultiSelect: Shift/Ctrl ranges
    void SetExtendedSelect(bool extended);

    // --- The horizontal extent, in pixels.
    int MaxWidth() const { return FMaxWidth; }   // the widest item width seen; 0 when empty
    int HorizontalExtent() const { return FExtent; }
    // Width of Item plus one "x" in the list's font, tabs expanded to TabWidth.
    int GetItemWidth(int index);
    // Measures every item again and sets the extent.
    void ResetHorizontalExtent();

    // Hands appended rows to the view now (normally done on the next turn of the event
    // loop, at most every few milliseconds).
    void FlushPending();

protected:
    void changeEvent(QEvent* event) override;

private:
    friend class TTextItemDelegate;

    int TextWidth(const QString& text);
    int TabPixels();
    void SetExtent(int extent);
    void CheckIndex(int index) const;

    std::unique_ptr<TTextListModel> FModel;
    int FMaxWidth = 0;
    int FExtent = 0;
    int FTabWidth = 0;
    int FItemHeight = 0;                 // 0 = the font's height
    bool FMultiSelect = false;
    bool FExtendedSelect = false;
    std::vector<int> FAdvance;           // per UTF-16 unit, -1 until measured
    QTimer FFlushTimer;
};

}  // namespace xavo
