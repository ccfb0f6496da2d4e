// The piece table, its treap and the view-position queries (see TextBuffer.h).
#include "TextBuffer.h"

#include "ByteScan.h"

#include <algorithm>

namespace xavo {

// One piece and the sums over its subtree. The treap is ordered by text position and
// heap-ordered by a random priority, so its depth stays logarithmic.
struct TTextBuffer::TNode {
    TPiece Piece;
    std::uint32_t Priority = 0;
    std::unique_ptr<TNode> Left;
    std::unique_ptr<TNode> Right;
    std::uint64_t Raw = 0;
    std::uint64_t Breaks = 0;
    std::uint64_t View = 0;
};

// The piece found by a descent and the sums of everything before it.
struct TTextBuffer::TFound {
    const TPiece* Piece = nullptr;
    std::uint64_t Raw = 0;
    std::uint64_t Breaks = 0;
    std::uint64_t View = 0;
};

// A raw replacement as undo needs it: Inserted bytes now stand at At, where Removed stood.
struct TTextBuffer::TEdit {
    std::uint64_t At = 0;
    std::uint64_t Inserted = 0;
    std::unique_ptr<TNode> Removed;
};

namespace {

using TNode = TTextBuffer::TNode;

const TByteFinder& BreakFinder() {
    static const TByteFinder finder({'\r', '\n'});
    return finder;
}

std::uint64_t RawOf(const std::unique_ptr<TNode>& t) { return t ? t->Raw : 0; }
std::uint64_t BreaksOf(const std::unique_ptr<TNode>& t) { return t ? t->Breaks : 0; }
std::uint64_t ViewOf(const std::unique_ptr<TNode>& t) { return t ? t->View : 0; }

void Update(TNode& t) {
    t.Raw = RawOf(t.Left) + t.Piece.Length + RawOf(t.Right);
    t.Breaks = BreaksOf(t.Left) + t.Piece.Breaks + BreaksOf(t.Right);
    t.View = ViewOf(t.Left) + t.Piece.View() + ViewOf(t.Right);
}

std::string_view StyleBytes(TBreakStyle style) {
    switch (style) {
    case TBreakStyle::Lf: return "\n";
    case TBreakStyle::Cr: return "\r";
    case TBreakStyle::CrLf: break;
    }
    return "\r\n";
}

template <typename Sink>
bool VisitPieces(const TNode* t, std::uint64_t offset, std::uint64_t from, Sink& sink) {
    while (t != nullptr) {
        const std::uint64_t pieceAt = offset + ViewOf(t->Left);
        if (from < pieceAt && !VisitPieces(t->Left.get(), offset, from, sink)) return false;
        const std::uint64_t pieceEnd = pieceAt + t->Piece.View();
        if (from < pieceEnd && !sink(t->Piece, pieceAt)) return false;
        offset = pieceEnd;
        t = t->Right.get();
    }
    return true;
}

}  // namespace

TTextBuffer::TTextBuffer() = default;
TTextBuffer::TTextBuffer(TTextBuffer&&) noexcept = default;
TTextBuffer& TTextBuffer::operator=(TTextBuffer&&) noexcept = default;
TTextBuffer::~TTextBuffer() = default;

TTextBuffer::TTextBuffer(TFileBytes bytes) : FOriginal(std::move(bytes)) {
    const unsigned char* data = FOriginal.Data();
    const std::uint64_t size = FOriginal.Size();
    FOriginalIndex.Build(data, size);
    if (size > 0) FRoot = NewNode(MakePiece(false, 0, size));
    const unsigned char* first = BreakFinder().Find(data, data + size);
    if (first != data + size)
        FStyle = *first == '\n' ? TBreakStyle::Lf
                 : first + 1 < data + size && first[1] == '\n' ? TBreakStyle::CrLf
                                                               : TBreakStyle::Cr;
}

// ---------------------------------------------------------------------------------------
// Buffers and pieces

const unsigned char* TTextBuffer::DataOf(bool added) const {
    return added ? reinterpret_cast<const unsigned char*>(FAdded.data()) : FOriginal.Data();
}
std::uint64_t TTextBuffer::SizeOf(bool added) const { return added ? FAdded.size() : FOriginal.Size(); }
const TBreakIndex& TTextBuffer::IndexOf(bool added) const { return added ? FAddedIndex : FOriginalIndex; }

TTextBuffer::TPiece TTextBuffer::MakePiece(bool added, std::uint64_t start, std::uint64_t length) const {
    const TBreakIndex& index = IndexOf(added);
    const unsigned char* data = DataOf(added);
    const TBreakIndex::TCounts from = index.Before(data, start);
    const TBreakIndex::TCounts to = index.Before(data, start + length);
    return {added, start, length, to.Breaks - from.Breaks, to.CrLfs - from.CrLfs};
}

std::unique_ptr<TNode> TTextBuffer::NewNode(const TPiece& piece) {
    FSeed ^= FSeed << 13;
    FSeed ^= FSeed >> 17;
    FSeed ^= FSeed << 5;
    auto node = std::make_unique<TNode>();
    node->Piece = piece;
    node->Priority = FSeed;
    Update(*node);
    return node;
}

void TTextBuffer::Split(std::unique_ptr<TNode> t, std::uint64_t raw, std::unique_ptr<TNode>& left,
                        std::unique_ptr<TNode>& right) {
    if (!t) {
        left.reset();
        right.reset();
        return;
    }
    std::unique_ptr<TNode> a, b;
    const std::uint64_t leftRaw = RawOf(t->Left);
    if (raw <= leftRaw) {
        Split(std::move(t->Left), raw, a, b);
        t->Left = std::move(b);
        Update(*t);
        left = std::move(a);
        right = std::move(t);
        return;
    }
    raw -= leftRaw;
    if (raw >= t->Piece.Length) {
        Split(std::move(t->Right), raw - t->Piece.Length, a, b);
        t->Right = std::move(a);
        Update(*t);
        left = std::move(t);
        right = std::move(b);
        return;
    }
    // Inside the piece: the head stays in this node, the tail goes before the right subtree.
    const TPiece whole = t->Piece;
    const TPiece head = MakePiece(whole.Added, whole.Start, raw);
    const TPiece tail{whole.Added, whole.Start + raw, whole.Length - raw, whole.Breaks - head.Breaks,
                      whole.CrLfs - head.CrLfs};
    t->Piece = head;
    std::unique_ptr<TNode> oldRight = std::move(t->Right);
    Update(*t);
    left = std::move(t);
    right = Merge(NewNode(tail), std::move(oldRight));
}

std::unique_ptr<TNode> TTextBuffer::Merge(std::unique_ptr<TNode> a, std::unique_ptr<TNode> b) {
    if (!a) return b;
    if (!b) return a;
    if (a->Priority > b->Priority) {
        a->Right = Merge(std::move(a->Right), std::move(b));
        Update(*a);
        return a;
    }
    b->Left = Merge(std::move(a), std::move(b->Left));
    Update(*b);
    return b;
}

// ---------------------------------------------------------------------------------------
// Descents

TTextBuffer::TFound TTextBuffer::FindView(std::uint64_t view) const {
    TFound found;
    for (const TNode* t = FRoot.get(); t != nullptr;) {
        if (view < ViewOf(t->Left)) {
            t = t->Left.get();
            continue;
        }
        view -= ViewOf(t->Left);
        found.Raw += RawOf(t->Left);
        found.Breaks += BreaksOf(t->Left);
        found.View += ViewOf(t->Left);
        if (view < t->Piece.View()) {
            found.Piece = &t->Piece;
            return found;
        }
        view -= t->Piece.View();
        found.Raw += t->Piece.Length;
        found.Breaks += t->Piece.Breaks;
        found.View += t->Piece.View();
        t = t->Right.get();
    }
    return found;
}

TTextBuffer::TFound TTextBuffer::FindBreak(std::uint64_t index) const {
    TFound found;
    for (const TNode* t = FRoot.get(); t != nullptr;) {
        if (index < BreaksOf(t->Left)) {
            t = t->Left.get();
            continue;
        }
        index -= BreaksOf(t->Left);
        found.Raw += RawOf(t->Left);
        found.Breaks += BreaksOf(t->Left);
        found.View += ViewOf(t->Left);
        if (index < t->Piece.Breaks) {
            found.Piece = &t->Piece;
            return found;
        }
        index -= t->Piece.Breaks;
        found.Raw += t->Piece.Length;
        found.Breaks += t->Piece.Breaks;
        found.View += t->Piece.View();
        t = t->Right.get();
    }
    return found;
}

TTextBuffer::TFound TTextBuffer::FindRaw(std::uint64_t raw) const {
    TFound found;
    for (const TNode* t = FRoot.get(); t != nullptr;) {
        if (raw < RawOf(t->Left)) {
            t = t->Left.get();
            continue;
        }
        raw -= RawOf(t->Left);
        found.Raw += RawOf(t->Left);
        if (raw < t->Piece.Length) {
            found.Piece = &t->Piece;
            return found;
        }
        raw -= t->Piece.Length;
        found.Raw += t->Piece.Length;
        t = t->Right.get();
    }
    return found;
}

// ---------------------------------------------------------------------------------------
// Positions and lines

std::int64_t TTextBuffer::Length() const { return static_cast<std::int64_t>(ViewOf(FRoot)); }
std::int64_t TTextBuffer::LineCount() const { return static_cast<std::int64_t>(BreaksOf(FRoot)) + 1; }
std::int64_t TTextBuffer::RawLength() const { return static_cast<std::int64_t>(RawOf(FRoot)); }

std::int64_t TTextBuffer::LineIndex(std::int64_t line) const {
    if (line < 0 || line >= LineCount()) return -1;
    if (line == 0) return 0;
    // A line starts two view bytes after the break that ends the line before it.
    const TFound found = FindBreak(static_cast<std::uint64_t>(line - 1));
    const TPiece& piece = *found.Piece;
    const TBreakIndex& index = IndexOf(piece.Added);
    const unsigned char* data = DataOf(piece.Added);
    const TBreakIndex::TCounts base = index.Before(data, piece.Start);
    const std::uint64_t at =
        index.FindBreak(data, SizeOf(piece.Added), base.Breaks + (static_cast<std::uint64_t>(line - 1) - found.Breaks));
    const std::uint64_t viewInPiece = index.View(data, at) - (piece.Start + base.Breaks - base.CrLfs);
    return static_cast<std::int64_t>(found.View + viewInPiece + 2);
}

std::int64_t TTextBuffer::LineFromChar(std::int64_t position) const {
    if (position <= 0) return 0;
    if (position >= Length()) return LineCount() - 1;
    const TFound found = FindView(static_cast<std::uint64_t>(position));
    const TPiece& piece = *found.Piece;
    const TBreakIndex& index = IndexOf(piece.Added);
    const unsigned char* data = DataOf(piece.Added);
    const TBreakIndex::TCounts base = index.Before(data, piece.Start);
    const std::uint64_t baseView = piece.Start + base.Breaks - base.CrLfs;
    const TBreakIndex::TViewHit hit =
        index.FromView(data, SizeOf(piece.Added), baseView + (static_cast<std::uint64_t>(position) - found.View));
    return static_cast<std::int64_t>(found.Breaks + index.Before(data, hit.At).Breaks - base.Breaks);
}

std::int64_t TTextBuffer::LineLength(std::int64_t position) const {
    const std::int64_t line = LineFromChar(position);
    const std::int64_t end = line + 1 < LineCount() ? LineIndex(line + 1) - 2 : Length();
    return end - LineIndex(line);
}

std::uint64_t TTextBuffer::RawOfView(std::uint64_t view, bool end) const {
    if (view >= static_cast<std::uint64_t>(Length())) return RawOf(FRoot);
    const TFound found = FindView(view);
    const TPiece& piece = *found.Piece;
    const TBreakIndex& index = IndexOf(piece.Added);
    const unsigned char* data = DataOf(piece.Added);
    const TBreakIndex::TCounts base = index.Before(data, piece.Start);
    const TBreakIndex::TViewHit hit =
        index.FromView(data, SizeOf(piece.Added), piece.Start + base.Breaks - base.CrLfs + (view - found.View));
    return found.Raw + (hit.At - piece.Start) + (hit.Inside && end ? hit.BreakBytes : 0);
}

unsigned char TTextBuffer::RawByte(std::uint64_t raw) const {
    const TFound found = FindRaw(raw);
    return DataOf(found.Piece->Added)[found.Piece->Start + (raw - found.Raw)];
}

// ---------------------------------------------------------------------------------------
// Reading

void TTextBuffer::ForEachPiece(std::uint64_t from, const std::function<bool(const TPiece&, std::uint64_t)>& sink) const {
    VisitPieces(FRoot.get(), 0, from, sink);
}

std::string TTextBuffer::Text(std::int64_t from, std::int64_t count) const {
    const std::int64_t length = Length();
    from = std::clamp<std::int64_t>(from, 0, length);
    count = std::clamp<std::int64_t>(count, 0, length - from);
    std::string out;
    if (count == 0) return out;
    const auto wanted = static_cast<std::size_t>(count);
    out.reserve(wanted);
    ForEachPiece(static_cast<std::uint64_t>(from), [&](const TPiece& piece, std::uint64_t at) {
        const TBreakIndex& index = IndexOf(piece.Added);
        const unsigned char* data = DataOf(piece.Added);
        const std::uint64_t end = piece.Start + piece.Length;
        std::uint64_t p = piece.Start;
        if (static_cast<std::uint64_t>(from) > at) {
            const TBreakIndex::TCounts base = index.Before(data, piece.Start);
            const TBreakIndex::TViewHit hit = index.FromView(
                data, SizeOf(piece.Added), piece.Start + base.Breaks - base.CrLfs + (static_cast<std::uint64_t>(from) - at));
            p = hit.At;
            if (hit.Inside) {
                out += '\n';
                p += hit.BreakBytes;
            }
        }
        while (out.size() < wanted && p < end) {
            // Breaks beyond the bytes still wanted do not matter: a long line is not scanned to its end.
            const std::uint64_t limit = std::min<std::uint64_t>(end, p + (wanted - out.size()));
            const auto q = static_cast<std::uint64_t>(BreakFinder().Find(data + p, data + limit) - data);
            const std::uint64_t take = std::min<std::uint64_t>(q - p, wanted - out.size());
            out.append(reinterpret_cast<const char*>(data + p), static_cast<std::size_t>(take));
            p += take;
            if (p < q || q == end || out.size() == wanted) break;  // (q == limit < end only when nothing more is wanted)
            out += '\r';
            if (out.size() < wanted) out += '\n';
            p = q + (data[q] == '\r' && q + 1 < end && data[q + 1] == '\n' ? 2 : 1);
        }
        return out.size() < wanted;
    });
    return out;
}

std::string TTextBuffer::LineText(std::int64_t line) const {
    const std::int64_t start = LineIndex(line);
    return start < 0 ? std::string() : Text(start, LineLength(start));
}

std::vector<std::string> TTextBuffer::LineTexts(std::int64_t first, std::int64_t count) const {
    std::vector<std::string> lines;
    first = std::max<std::int64_t>(first, 0);
    count = std::min(count, LineCount() - first);
    if (count <= 0) return lines;
    const std::int64_t from = LineIndex(first);
    const std::int64_t to = first + count < LineCount() ? LineIndex(first + count) - 2 : Length();
    const std::string text = Text(from, to - from);
    lines.reserve(static_cast<std::size_t>(count));
    std::size_t at = 0;
    for (std::size_t end = text.find("\r\n"); end != std::string::npos; at = end + 2, end = text.find("\r\n", at))
        lines.push_back(text.substr(at, end - at));
    lines.push_back(text.substr(at));
    return lines;
}

char TTextBuffer::ByteAt(std::int64_t position) const {
    const std::string byte = Text(position, 1);
    return byte.empty() ? '\0' : byte[0];
}

void TTextBuffer::ForEachRawSpan(const std::function<bool(std::string_view)>& sink) const {
    ForEachPiece(0, [&](const TPiece& piece, std::uint64_t) {
        return sink(std::string_view(reinterpret_cast<const char*>(DataOf(piece.Added)) + piece.Start,
                                     static_cast<std::size_t>(piece.Length)));
    });
}

std::string TTextBuffer::RawText() const {
    std::string out;
    out.reserve(static_cast<std::size_t>(RawLength()));
    ForEachRawSpan([&](std::string_view span) {
        out += span;
        return true;
    });
    return out;
}

// ---------------------------------------------------------------------------------------
// Editing

std::string TTextBuffer::Normalized(std::string_view bytes) const {
    const std::string_view style = StyleBytes(FStyle);
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n') {
            out += bytes[i];
            continue;
        }
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        out += style;
    }
    return out;
}

void TTextBuffer::Replace(std::int64_t position, std::int64_t count, std::string_view bytes) {
    const std::int64_t length = Length();
    position = std::clamp<std::int64_t>(position, 0, length);
    count = std::clamp<std::int64_t>(count, 0, length - position);
    if (count == 0 && bytes.empty()) return;
    const std::uint64_t from = RawOfView(static_cast<std::uint64_t>(position), false);
    const std::uint64_t to = count == 0 ? from : RawOfView(static_cast<std::uint64_t>(position + count), true);
    const std::string text = Normalized(bytes);
    BeginUndoGroup();
    ReplaceRaw(from, to, text);
    // The later seam first: mending the earlier one may move it.
    if (!text.empty()) MendJoin(from + text.size());
    MendJoin(from);
    EndUndoGroup();
    FModified = true;
}

void TTextBuffer::ReplaceRaw(std::uint64_t from, std::uint64_t to, std::string_view bytes) {
    std::unique_ptr<TNode> left, rest, middle, right;
    Split(std::move(FRoot), from, left, rest);
    Split(std::move(rest), to - from, middle, right);
    std::unique_ptr<TNode> inserted;
    if (!bytes.empty()) {
        // A CR left at the buffer's end must not pair with a LF appended after it.
        std::uint64_t oldSize = FAdded.size();
        if (!FAdded.empty() && FAdded.back() == '\r' && bytes.front() == '\n') FAdded += '\0';
        const std::uint64_t start = FAdded.size();
        FAdded += bytes;
        FAddedIndex.Append(DataOf(true), oldSize, FAdded.size());
        inserted = NewNode(MakePiece(true, start, bytes.size()));
    }
    FRoot = Merge(Merge(std::move(left), std::move(inserted)), std::move(right));
    FUndo.back().push_back({from, bytes.size(), std::move(middle)});
}

void TTextBuffer::MendJoin(std::uint64_t at) {
    // A lone CR that an edit brought next to a lone LF would read as one CR LF break and
    // lose a line: the CR becomes a CR LF of its own.
    if (at == 0 || at >= RawOf(FRoot)) return;
    if (RawByte(at - 1) == '\r' && RawByte(at) == '\n') ReplaceRaw(at - 1, at, "\r\n");
}

void TTextBuffer::BeginUndoGroup() {
    if (FGroupDepth++ == 0) FUndo.emplace_back();
}

void TTextBuffer::EndUndoGroup() {
    if (FGroupDepth == 0) return;
    if (--FGroupDepth == 0 && FUndo.back().empty()) FUndo.pop_back();
}

bool TTextBuffer::CanUndo() const {
    return std::any_of(FUndo.begin(), FUndo.end(), [](const std::vector<TEdit>& group) { return !group.empty(); });
}

void TTextBuffer::Undo() {
    while (FGroupDepth > 0) EndUndoGroup();
    if (FUndo.empty()) return;
    std::vector<TEdit> group = std::move(FUndo.back());
    FUndo.pop_back();
    for (auto it = group.rbegin(); it != group.rend(); ++it) {
        std::unique_ptr<TNode> left, rest, inserted, right;
        Split(std::move(FRoot), it->At, left, rest);
        Split(std::move(rest), it->Inserted, inserted, right);
        FRoot = Merge(Merge(std::move(left), std::move(it->Removed)), std::move(right));
    }
    FModified = true;
}

}  // namespace xavo
