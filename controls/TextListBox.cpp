// The GREP results list (see TextListBox.h): a list model over byte strings, a delegate
// that draws them unclipped and elided never, and the extent rules.
#include "TextListBox.h"

#include "SjisQt.h"

#include <QAbstractListModel>
#include <QEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

namespace xavo {
namespace {

constexpr int kTextIndent = 2;        // pixels between the list's edge and the text
constexpr int kFlushMillis = 50;      // pending rows reach the view at most this late

// Text cut to the units shown (CutBytes: the last unit may be a split character's).
QString CutText(QString text, bool cutBytes) {
    const int limit = TTextListBox::kMaxShownUnits;
    if (!cutBytes && text.size() <= limit) return text;
    text.truncate(std::min<qsizetype>(limit, text.size() - (cutBytes ? 1 : 0)));
    if (!text.isEmpty() && text.back().isHighSurrogate()) text.chop(1);
    return text + QChar(0x2026);
}

// Text for the screen from an item's bytes. A very long item (a file of one huge line)
// shows its start and "…": drawing and measuring megabytes of text per row would take
// gigabytes and overflow the painter's coordinates. Only a prefix is decoded; every
// decoder takes at least one byte per unit, and the unit the cut may have split is dropped.
QString ShownText(const TTextListBox::TDisplayDecoder& decoder, std::string_view bytes) {
    const std::size_t decoded = 4 * static_cast<std::size_t>(TTextListBox::kMaxShownUnits);
    const bool cutBytes = bytes.size() > decoded;
    return CutText(decoder(cutBytes ? bytes.substr(0, decoded) : bytes), cutBytes);
}

}  // namespace

// Items as bytes; rows [0, Shown) are known to the view, the rest are pending.
class TTextListModel : public QAbstractListModel {
public:
    std::vector<std::string> Items;
    std::map<int, QString> ShownAs;  // the items shown otherwise than decoded, already cut
    int Shown = 0;
    TTextListBox::TDisplayDecoder Decoder = [](std::string_view bytes) { return SjisToShownQString(bytes); };

    QString Text(int row) const {
        if (!ShownAs.empty())
            if (const auto shown = ShownAs.find(row); shown != ShownAs.end()) return shown->second;
        return ShownText(Decoder, Items[static_cast<std::size_t>(row)]);
    }

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : Shown; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= Shown) return {};
        return Text(index.row());
    }

    void Flush() {
        const int count = static_cast<int>(Items.size());
        if (Shown >= count) return;
        beginInsertRows(QModelIndex(), Shown, count - 1);
        Shown = count;
        endInsertRows();
    }

    void InsertRow(int row, std::string item) {
        beginInsertRows(QModelIndex(), row, row);
        Items.insert(Items.begin() + row, std::move(item));
        ShiftShown(row, 1);
        ++Shown;
        endInsertRows();
    }

    void RemoveRow(int row) {
        beginRemoveRows(QModelIndex(), row, row);
        Items.erase(Items.begin() + row);
        ShownAs.erase(row);
        ShiftShown(row + 1, -1);
        --Shown;
        endRemoveRows();
    }

    // The items from row From on moved by By.
    void ShiftShown(int from, int by) {
        if (ShownAs.lower_bound(from) == ShownAs.end()) return;
        std::map<int, QString> shifted;
        for (auto& [row, text] : ShownAs)
            shifted.emplace_hint(shifted.end(), row >= from ? row + by : row, std::move(text));
        ShownAs = std::move(shifted);
    }

    void Clear() {
        beginResetModel();
        Items.clear();
        ShownAs.clear();
        Shown = 0;
        endResetModel();
    }
};

// Every item is as wide as the extent, so the view's scroll range is the extent; text is
// drawn whole from the left (never elided), tabs at the list's tab stops.
class TTextItemDelegate : public QStyledItemDelegate {
public:
    explicit TTextItemDelegate(TTextListBox* list) : QStyledItemDelegate(list), FList(list) {}

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {FList->FExtent, FList->ItemHeight()};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        painter->save();
        const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                           : (option.state & QStyle::State_Active) ? QPalette::Active
                                                                                   : QPalette::Inactive;
        const QRect row = option.rect;  // as wide as the extent or the list, whichever is wider
        const bool selected = (option.state & QStyle::State_Selected) != 0;
        if (selected) painter->fillRect(row, option.palette.brush(group, QPalette::Highlight));
        painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->setFont(option.font);
        QTextOption textOption(Qt::AlignLeft | Qt::AlignVCenter);
        textOption.setWrapMode(QTextOption::NoWrap);
        QString text = index.data().toString();
        const int tab = FList->TabPixels();
        if (tab > 0)
            textOption.setTabStopDistance(tab);
        else
            text.replace(QChar(u'\t'), QChar(u' '));  // no tab stops: a tab is one blank
        painter->drawText(QRectF(row.adjusted(kTextIndent, 0, 0, 0)), text, textOption);
        if (option.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(option);
            focus.rect = row;
            focus.backgroundColor = option.palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
            FList->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, FList);
        }
        painter->restore();
    }

private:
    TTextListBox* FList;
};

TTextListBox::TTextListBox(QWidget* parent) : QListView(parent), FModel(std::make_unique<TTextListModel>()) {
    setModel(FModel.get());
    setItemDelegate(new TTextItemDelegate(this));
    setUniformItemSizes(true);
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollMode(ScrollPerPixel);
    setSelectionMode(SingleSelection);
    FFlushTimer.setSingleShot(true);
    FFlushTimer.setInterval(kFlushMillis);
    connect(&FFlushTimer, &QTimer::timeout, this, &TTextListBox::FlushPending);
}

TTextListBox::~TTextListBox() {
    setModel(nullptr);  // the model goes before the view is torn down
}

void TTextListBox::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) throw std::out_of_range("list index out of bounds: " + std::to_string(index));
}

int TTextListBox::Count() const { return static_cast<int>(FModel->Items.size()); }

const std::string& TTextListBox::Item(int index) const {
    CheckIndex(index);
    return FModel->Items[static_cast<std::size_t>(index)];
}

QString TTextListBox::ItemText(int index) const {
    CheckIndex(index);
    return FModel->Text(index);
}

void TTextListBox::SetDisplayDecoder(TDisplayDecoder decoder) {
    FModel->Decoder = std::move(decoder);
    ResetHorizontalExtent();
    viewport()->update();
}

int TTextListBox::Add(std::string_view sjis) {
    FModel->Items.emplace_back(sjis);
    const int index = Count() - 1;
    const int width = GetItemWidth(index);
    if (width > FMaxWidth) FMaxWidth = width;
    SetExtent(FMaxWidth);
    if (!FFlushTimer.isActive()) FFlushTimer.start(FModel->Shown == 0 ? 0 : kFlushMillis);
    return index;
}

int TTextListBox::Add(const QString& text) { return Add(QStringToSjis(text)); }

int TTextListBox::Add(std::string_view sjis, const QString& shown) {
    FModel->ShownAs.insert_or_assign(Count(), CutText(shown, false));
    try {
        return Add(sjis);
    } catch (...) {
        FModel->ShownAs.erase(Count());
        throw;
    }
}

void TTextListBox::Insert(int index, std::string_view sjis) {
    FlushPending();
    if (index < 0 || index > Count()) throw std::out_of_range("list index out of bounds: " + std::to_string(index));
    FModel->InsertRow(index, std::string(sjis));
    FMaxWidth = std::max(FMaxWidth, GetItemWidth(index));
    SetExtent(FMaxWidth);
}

void TTextListBox::Delete(int index) {
    FlushPending();
    CheckIndex(index);
    if (GetItemWidth(index) >= FMaxWidth) {
        // The widest item goes: scroll home and measure the rest again.
        horizontalScrollBar()->setValue(0);
        FModel->RemoveRow(index);
        ResetHorizontalExtent();
    } else {
        FModel->RemoveRow(index);
    }
}

void TTextListBox::Clear() {
    FFlushTimer.stop();
    FMaxWidth = 0;
    SetExtent(0);
    horizontalScrollBar()->setValue(0);
    FModel->Clear();
}

void TTextListBox::FlushPending() {
    FFlushTimer.stop();
    FModel->Flush();
}

int TTextListBox::ItemIndex() {
    FlushPending();
    const QModelIndex current = currentIndex();
    return current.isValid() && selectionModel()->isSelected(current) ? current.row() : -1;
}

void TTextListBox::SetItemIndex(int index) {
    FlushPending();
    if (index < 0 || index >= Count()) {
        clearSelection();
        setCurrentIndex(QModelIndex());
        return;
    }
    const QModelIndex row = FModel->index(index);
    setCurrentIndex(row);
    selectionModel()->select(row, QItemSelectionModel::ClearAndSelect);
    scrollTo(row);
}

void TTextListBox::SetTabWidth(int quarterCharacters) {
    FTabWidth = std::max(0, quarterCharacters);
    ResetHorizontalExtent();
    viewport()->update();
}

int TTextListBox::ItemHeight() const { return FItemHeight > 0 ? FItemHeight : fontMetrics().height(); }

void TTextListBox::SetItemHeight(int pixels) {
    FItemHeight = std::max(0, pixels);
    scheduleDelayedItemsLayout();
}

void TTextListBox::SetMultiSelect(bool multi) {
    FMultiSelect = multi;
    setSelectionMode(!multi ? SingleSelection : FExtendedSelect ? ExtendedSelection : MultiSelection);
}

void TTextListBox::SetExtendedSelect(bool extended) {
    FExtendedSelect = extended;
    SetMultiSelect(FMultiSelect);
}

int TTextListBox::TabPixels() {
    if (FTabWidth <= 0) return 0;
    // Round half to even, as the platform's rounding of the tab width does.
    return static_cast<int>(std::nearbyint(fontMetrics().horizontalAdvance(QChar(u'0')) * FTabWidth * 0.25));
}

int TTextListBox::TextWidth(const QString& text) {
    // The sum of the characters' advances (no kerning, like the platform's text
    // extent), from a table per font: measuring a million items stays cheap.
    if (FAdvance.empty()) FAdvance.assign(65536, -1);
    const int tab = TabPixels();
    const QFontMetrics metrics = fontMetrics();
    int width = 0;
    for (const QChar c : text) {
        if (c == u'\t' && tab > 0) {
            width = (width / tab + 1) * tab;
            continue;
        }
        const QChar measured = c == u'\t' ? QChar(u' ') : c;
        int& advance = FAdvance[measured.unicode()];
        if (advance < 0) advance = metrics.horizontalAdvance(measured);
        width += advance;
    }
    return width;
}

int TTextListBox::GetItemWidth(int index) { return TextWidth(ItemText(index) + QChar(u'x')); }

void TTextListBox::ResetHorizontalExtent() {
    FMaxWidth = 0;
    for (int i = 0; i < Count(); ++i) FMaxWidth = std::max(FMaxWidth, GetItemWidth(i));
    SetExtent(FMaxWidth);
}

void TTextListBox::SetExtent(int extent) {
    if (extent == FExtent) return;
    FExtent = extent;
    scheduleDelayedItemsLayout();  // the rows take the new width
}

void TTextListBox::changeEvent(QEvent* event) {
    QListView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        FAdvance.clear();
        ResetHorizontalExtent();
        scheduleDelayedItemsLayout();
    }
}

}  // namespace xavo
