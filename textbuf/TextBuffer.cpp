// The piece table, its treap and the view-position queries (see TextBuffer.h).
#include "TextBuffer.h"

#include "ByteScan.h"
#include "SjisBytes.h"
#include "SjisCodec.h"
#include "TextSearch.h"

#include <algorithm>
#include <array>
#include <limits>

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

struct TTextBuffer::TGroup {
    std::uint64_t Id = 0;
    std::vector<TEdit> Edits;
};

namespace {

using TNode = TTextBuffer::TNode;

constexpr std::uint64_t kNoSavePoint = std::numeric_limits<std::uint64_t>::max();

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

void UpdateAll(TNode* t) {
    if (t == nullptr) return;
    UpdateAll(t->Left.get());
    UpdateAll(t->Right.get());
    Update(*t);
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

// Bytes as view positions count them: every break two.
std::uint64_t ViewLength(std::string_view bytes) {
    std::uint64_t length = bytes.size();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && !(i + 1 < bytes.size() && bytes[i + 1] == '\n')) ++length;
        if (bytes[i] == '\n' && !(i > 0 && bytes[i - 1] == '\r')) ++length;
    }
    return length;
}

void CollectPieces(const TNode* t, std::vector<TTextBuffer::TPiece>& out) {
    while (t != nullptr) {
        CollectPieces(t->Left.get(), out);
        out.push_back(t->Piece);
        t = t->Right.get();
    }
}

// How the document stores each UTF-16 unit: its Shift-JIS code when that reads back as
// the unit (Native), else the code of its placeholder, '?' or "??".
struct TUnitCode {
    std::uint16_t Code = 0;
    bool Native = false;
};

std::array<TUnitCode, 65536> BuildUnitCodes() {
    std::array<TUnitCode, 65536> table{};
    for (unsigned u = 0; u < 0x10000; ++u) {
        const char16_t unit = static_cast<char16_t>(u);
        if (u >= 0xD800 && u <= 0xDFFF) {
            table[u] = {0x3F, false};
            continue;
        }
        std::size_t unencodable = 0;
        const std::string bytes = EncodeSjis(std::u16string_view(&unit, 1), unencodable);
        std::uint16_t code = 0;
        for (const char c : bytes) code = static_cast<std::uint16_t>(code << 8 | static_cast<unsigned char>(c));
        char16_t back[2] = {};
        if (unencodable == 0 && !IsSjisEscape(unit) && DecodeSjis(bytes, back) == 1 && back[0] == unit)
            table[u] = {code, true};
        else
            table[u] = {static_cast<std::uint16_t>(SjisLength(unit) == 2 ? 0x3F3F : 0x3F), false};
    }
    return table;
}

const std::array<TUnitCode, 65536>& UnitCodes() {
    static const std::array<TUnitCode, 65536> table = BuildUnitCodes();
    return table;
}

}  // namespace

TSjisText ToSjisText(std::u16string_view text) {
    const std::array<TUnitCode, 65536>& codes = UnitCodes();
    TSjisText out;
    out.Bytes.reserve(text.size() * 2);
    for (const char16_t u : text) {
        if (u < 0x80) {
            out.Bytes += static_cast<char>(u);
            continue;
        }
        const TUnitCode c = codes[u];
        if (!c.Native) {
            out.Foreign.At.push_back(out.Bytes.size());
            out.Foreign.Units += u;
        }
        if (c.Code > 0xFF) out.Bytes += static_cast<char>(c.Code >> 8);
        out.Bytes += static_cast<char>(c.Code & 0xFF);
    }
    return out;
}

std::u16string DecodeSjisText(std::string_view bytes, const TForeignUnits& foreign) {
    if (foreign.Empty()) return DecodeSjis(bytes);
    std::u16string out;
    out.reserve(bytes.size());
    std::size_t from = 0;  // bytes before this are decoded
    const auto decodeTo = [&](std::size_t to) {
        if (to <= from) return;
        const std::size_t mark = out.size();
        out.resize(mark + (to - from));
        out.resize(mark + DecodeSjis(bytes.substr(from, to - from), out.data() + mark));
        from = to;
    };
    for (std::size_t i = 0; i < foreign.At.size(); ++i) {
        const auto at = static_cast<std::size_t>(foreign.At[i]);
        const char16_t unit = foreign.Units[i];
        const auto length = static_cast<std::size_t>(SjisLength(unit));
        if (at < from || at + length > bytes.size() || !IsCharBoundary(bytes, at)) continue;
        decodeTo(at);
        out += unit;
        from = at + length;
    }
    decodeTo(bytes.size());
    return out;
}

TTextBuffer::TTextBuffer() {
    auto edits = std::make_unique<TSource>();
    edits->EditBuffer = true;
    FSources.push_back(std::move(edits));
}

TTextBuffer::TTextBuffer(TTextBuffer&&) noexcept = default;
TTextBuffer& TTextBuffer::operator=(TTextBuffer&&) noexcept = default;
TTextBuffer::~TTextBuffer() = default;

TTextBuffer::TTextBuffer(TFileBytes bytes) : TTextBuffer() { AppendOriginal(std::move(bytes)); }

TTextBuffer::TTextBuffer(TSjisText text) : TTextBuffer() { AppendOriginal(std::move(text)); }

std::unique_ptr<TTextBuffer::TSource> TTextBuffer::Prepare(TSjisText text) {
    auto source = std::make_unique<TSource>();
    source->Bytes = TFileBytes(std::move(text.Bytes));
    source->Foreign = std::move(text.Foreign);
    source->Index.Build(source->Data(), source->Size());
    return source;
}

void TTextBuffer::AppendOriginal(std::unique_ptr<TSource> source) { AddSource(std::move(source)); }

void TTextBuffer::AppendOriginal(TFileBytes bytes) {
    auto source = std::make_unique<TSource>();
    source->Bytes = std::move(bytes);
    source->Index.Build(source->Data(), source->Size());
    AddSource(std::move(source));
}

void TTextBuffer::AddSource(std::unique_ptr<TSource> source) {
    const std::uint64_t size = source->Size();
    FSources.push_back(std::move(source));
    NoteStyle(*FSources.back());
    if (size > 0) FRoot = Merge(std::move(FRoot), NewNode(MakePiece(static_cast<std::uint32_t>(FSources.size() - 1), 0, size)));
}

void TTextBuffer::NoteStyle(const TSource& source) {
    if (FStyleKnown) return;
    const unsigned char* data = source.Data();
    const std::uint64_t size = source.Size();
    const unsigned char* first = BreakFinder().Find(data, data + size);
    if (first == data + size) return;
    FStyle = *first == '\n' ? TBreakStyle::Lf
             : first + 1 < data + size && first[1] == '\n' ? TBreakStyle::CrLf
                                                           : TBreakStyle::Cr;
    FStyleKnown = true;
}

// ---------------------------------------------------------------------------------------
// Pieces and the treap

TTextBuffer::TPiece TTextBuffer::MakePiece(std::uint32_t source, std::uint64_t start, std::uint64_t length) const {
    const TSource& s = SourceOf(source);
    const TBreakIndex::TCounts from = s.Index.Before(s.Data(), start);
    const TBreakIndex::TCounts to = s.Index.Before(s.Data(), start + length);
    return {source, start, length, to.Breaks - from.Breaks, to.CrLfs - from.CrLfs};
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
    const TPiece head = MakePiece(whole.Source, whole.Start, raw);
    const TPiece tail{whole.Source, whole.Start + raw, whole.Length - raw, whole.Breaks - head.Breaks,
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

// The treap of Pieces in order, built in one pass: the right spine is kept on a stack, and
// each new node takes the nodes of lower priority it pops as its left subtree.
std::unique_ptr<TNode> TTextBuffer::Build(const std::vector<TPiece>& pieces) {
    std::unique_ptr<TNode> root;
    std::vector<TNode*> spine;
    for (const TPiece& piece : pieces) {
        std::unique_ptr<TNode> node = NewNode(piece);
        TNode* raw = node.get();
        std::size_t keep = spine.size();
        while (keep > 0 && spine[keep - 1]->Priority < raw->Priority) --keep;
        std::unique_ptr<TNode>& link = keep == 0 ? root : spine[keep - 1]->Right;
        raw->Left = std::move(link);
        link = std::move(node);
        spine.resize(keep);
        spine.push_back(raw);
    }
    UpdateAll(root.get());
    return root;
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
    const TSource& s = SourceOf(piece.Source);
    const unsigned char* data = s.Data();
    const TBreakIndex::TCounts base = s.Index.Before(data, piece.Start);
    const std::uint64_t at =
        s.Index.FindBreak(data, s.Size(), base.Breaks + (static_cast<std::uint64_t>(line - 1) - found.Breaks));
    const std::uint64_t viewInPiece = s.Index.View(data, at) - (piece.Start + base.Breaks - base.CrLfs);
    return static_cast<std::int64_t>(found.View + viewInPiece + 2);
}

std::int64_t TTextBuffer::LineFromChar(std::int64_t position) const {
    if (position <= 0) return 0;
    if (position >= Length()) return LineCount() - 1;
    const TFound found = FindView(static_cast<std::uint64_t>(position));
    const TPiece& piece = *found.Piece;
    const TSource& s = SourceOf(piece.Source);
    const unsigned char* data = s.Data();
    const TBreakIndex::TCounts base = s.Index.Before(data, piece.Start);
    const std::uint64_t baseView = piece.Start + base.Breaks - base.CrLfs;
    const TBreakIndex::TViewHit hit =
        s.Index.FromView(data, s.Size(), baseView + (static_cast<std::uint64_t>(position) - found.View));
    return static_cast<std::int64_t>(found.Breaks + s.Index.Before(data, hit.At).Breaks - base.Breaks);
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
    const TSource& s = SourceOf(piece.Source);
    const unsigned char* data = s.Data();
    const TBreakIndex::TCounts base = s.Index.Before(data, piece.Start);
    const TBreakIndex::TViewHit hit =
        s.Index.FromView(data, s.Size(), piece.Start + base.Breaks - base.CrLfs + (view - found.View));
    return found.Raw + (hit.At - piece.Start) + (hit.Inside && end ? hit.BreakBytes : 0);
}

std::uint64_t TTextBuffer::ViewOfRaw(std::uint64_t raw) const {
    std::uint64_t view = 0;
    for (const TNode* t = FRoot.get(); t != nullptr;) {
        if (raw < RawOf(t->Left)) {
            t = t->Left.get();
            continue;
        }
        raw -= RawOf(t->Left);
        view += ViewOf(t->Left);
        if (raw < t->Piece.Length) {
            const TSource& s = SourceOf(t->Piece.Source);
            return view + s.Index.View(s.Data(), t->Piece.Start + raw) - s.Index.View(s.Data(), t->Piece.Start);
        }
        raw -= t->Piece.Length;
        view += t->Piece.View();
        t = t->Right.get();
    }
    return view;
}

unsigned char TTextBuffer::RawByte(std::uint64_t raw) const {
    const TFound found = FindRaw(raw);
    return SourceOf(found.Piece->Source).Data()[found.Piece->Start + (raw - found.Raw)];
}

// ---------------------------------------------------------------------------------------
// Reading

void TTextBuffer::ForEachPiece(std::uint64_t from, const std::function<bool(const TPiece&, std::uint64_t)>& sink) const {
    VisitPieces(FRoot.get(), 0, from, sink);
}

// Appends the view bytes [From, From + Count) to Out; with Foreign, the foreign units met,
// their offsets counted in Out.
void TTextBuffer::AppendText(std::uint64_t from, std::uint64_t count, std::string& out, TForeignUnits* foreign) const {
    const std::size_t wanted = out.size() + static_cast<std::size_t>(count);
    out.reserve(wanted);
    ForEachPiece(from, [&](const TPiece& piece, std::uint64_t at) {
        const TSource& s = SourceOf(piece.Source);
        const unsigned char* data = s.Data();
        const std::uint64_t end = piece.Start + piece.Length;
        std::uint64_t p = piece.Start;
        if (from > at) {
            const TBreakIndex::TCounts base = s.Index.Before(data, piece.Start);
            const TBreakIndex::TViewHit hit =
                s.Index.FromView(data, s.Size(), piece.Start + base.Breaks - base.CrLfs + (from - at));
            p = hit.At;
            if (hit.Inside) {
                out += '\n';
                p += hit.BreakBytes;
            }
        }
        const bool noteForeign = foreign != nullptr && !s.Foreign.Empty();
        std::size_t next = noteForeign ? s.ForeignFrom(p) : 0;
        while (out.size() < wanted && p < end) {
            // Breaks beyond the bytes still wanted do not matter: a long line is not scanned to its end.
            const std::uint64_t limit = std::min<std::uint64_t>(end, p + (wanted - out.size()));
            const auto q = static_cast<std::uint64_t>(BreakFinder().Find(data + p, data + limit) - data);
            const std::uint64_t take = std::min<std::uint64_t>(q - p, wanted - out.size());
            if (noteForeign) {
                for (; next < s.Foreign.At.size() && s.Foreign.At[next] < p + take; ++next) {
                    foreign->At.push_back(out.size() + (s.Foreign.At[next] - p));
                    foreign->Units += s.Foreign.Units[next];
                }
            }
            out.append(reinterpret_cast<const char*>(data + p), static_cast<std::size_t>(take));
            p += take;
            if (p < q || q == end || out.size() == wanted) break;  // (q == limit < end only when nothing more is wanted)
            out += '\r';
            if (out.size() < wanted) out += '\n';
            p = q + (data[q] == '\r' && q + 1 < end && data[q + 1] == '\n' ? 2 : 1);
        }
        return out.size() < wanted;
    });
}

std::string TTextBuffer::Text(std::int64_t from, std::int64_t count) const {
    const std::int64_t length = Length();
    from = std::clamp<std::int64_t>(from, 0, length);
    count = std::clamp<std::int64_t>(count, 0, length - from);
    std::string out;
    if (count > 0) AppendText(static_cast<std::uint64_t>(from), static_cast<std::uint64_t>(count), out, nullptr);
    return out;
}

std::u16string TTextBuffer::Decode(std::int64_t from, std::int64_t count) const {
    const std::int64_t length = Length();
    from = std::clamp<std::int64_t>(from, 0, length);
    count = std::clamp<std::int64_t>(count, 0, length - from);
    std::string bytes;
    TForeignUnits foreign;
    if (count > 0) AppendText(static_cast<std::uint64_t>(from), static_cast<std::uint64_t>(count), bytes, &foreign);
    return DecodeSjisText(bytes, foreign);
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

std::int64_t TTextBuffer::CountCharacters(std::int64_t from, std::int64_t count) const {
    const std::u16string units = Decode(from, count);
    std::int64_t characters = 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (u == u'\r' && i + 1 < units.size() && units[i + 1] == u'\n') ++i;
        else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) ++i;
        ++characters;
    }
    return characters;
}

bool TTextBuffer::HasForeign() const {
    return std::any_of(FSources.begin(), FSources.end(), [](const auto& s) { return !s->Foreign.Empty(); });
}

char16_t TTextBuffer::ForeignUnit(std::int64_t position) const {
    if (position < 0 || position >= Length() || !HasForeign()) return 0;
    const TFound found = FindView(static_cast<std::uint64_t>(position));
    const TPiece& piece = *found.Piece;
    const TSource& s = SourceOf(piece.Source);
    if (s.Foreign.Empty()) return 0;
    const TBreakIndex::TCounts base = s.Index.Before(s.Data(), piece.Start);
    const TBreakIndex::TViewHit hit = s.Index.FromView(
        s.Data(), s.Size(), piece.Start + base.Breaks - base.CrLfs + (static_cast<std::uint64_t>(position) - found.View));
    if (hit.Inside || hit.BreakBytes != 0) return 0;
    const std::size_t i = s.ForeignFrom(hit.At);
    return i < s.Foreign.At.size() && s.Foreign.At[i] == hit.At ? s.Foreign.Units[i] : 0;
}

bool TTextBuffer::IsForeign(std::int64_t position) const { return ForeignUnit(position) != 0; }

void TTextBuffer::ForEachRawSpan(const std::function<bool(std::string_view, const TForeignUnits&)>& sink) const {
    const TForeignUnits none;
    ForEachPiece(0, [&](const TPiece& piece, std::uint64_t) {
        const TSource& s = SourceOf(piece.Source);
        const std::string_view span(reinterpret_cast<const char*>(s.Data()) + piece.Start, static_cast<std::size_t>(piece.Length));
        if (s.Foreign.Empty()) return sink(span, none);
        TForeignUnits foreign;
        for (std::size_t i = s.ForeignFrom(piece.Start); i < s.Foreign.At.size() && s.Foreign.At[i] < piece.Start + piece.Length;
             ++i) {
            foreign.At.push_back(s.Foreign.At[i] - piece.Start);
            foreign.Units += s.Foreign.Units[i];
        }
        return sink(span, foreign);
    });
}

void TTextBuffer::ForEachRawSpan(const std::function<bool(std::string_view)>& sink) const {
    ForEachPiece(0, [&](const TPiece& piece, std::uint64_t) {
        const TSource& s = SourceOf(piece.Source);
        return sink(std::string_view(reinterpret_cast<const char*>(s.Data()) + piece.Start, static_cast<std::size_t>(piece.Length)));
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

bool TTextBuffer::LostBytes() const {
    return std::any_of(FSources.begin(), FSources.end(), [](const auto& s) { return s->Bytes.LostBytes(); });
}

bool TTextBuffer::MapsFile(const std::string& path) const {
    return std::any_of(FSources.begin(), FSources.end(),
                       [&](const auto& s) { return s->Bytes.Mapped() && s->Bytes.IsFile(path); });
}

// ---------------------------------------------------------------------------------------
// Editing

TSjisText TTextBuffer::Normalized(std::string_view bytes, const TForeignUnits* foreign) const {
    const std::string_view style = StyleBytes(FStyle);
    TSjisText out;
    out.Bytes.reserve(bytes.size());
    std::size_t next = 0;  // the next foreign unit to place
    const bool hasForeign = foreign != nullptr && !foreign->Empty();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (hasForeign && next < foreign->At.size() && foreign->At[next] == i) {
            out.Foreign.At.push_back(out.Bytes.size());
            out.Foreign.Units += foreign->Units[next++];
        }
        if (bytes[i] != '\r' && bytes[i] != '\n') {
            out.Bytes += bytes[i];
            continue;
        }
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        out.Bytes += style;
    }
    return out;
}

std::uint64_t TTextBuffer::AddToEditBuffer(const TSjisText& text) {
    TSource& edits = EditBuffer();
    // A CR left at the buffer's end must not pair with a LF appended after it.
    const std::uint64_t oldSize = edits.Edits.size();
    if (!edits.Edits.empty() && edits.Edits.back() == '\r' && !text.Bytes.empty() && text.Bytes.front() == '\n')
        edits.Edits += '\0';
    const std::uint64_t start = edits.Edits.size();
    edits.Edits += text.Bytes;
    edits.Index.Append(edits.Data(), oldSize, edits.Edits.size());
    for (std::size_t i = 0; i < text.Foreign.At.size(); ++i) {
        edits.Foreign.At.push_back(start + text.Foreign.At[i]);
        edits.Foreign.Units += text.Foreign.Units[i];
    }
    return start;
}

void TTextBuffer::Replace(std::int64_t position, std::int64_t count, std::string_view sjis) {
    ReplaceText(position, count, Normalized(sjis, nullptr));
}

void TTextBuffer::Replace(std::int64_t position, std::int64_t count, std::u16string_view text) {
    const TSjisText sjis = ToSjisText(text);
    ReplaceText(position, count, Normalized(sjis.Bytes, &sjis.Foreign));
}

void TTextBuffer::ReplaceText(std::int64_t position, std::int64_t count, const TSjisText& text) {
    const std::int64_t length = Length();
    position = std::clamp<std::int64_t>(position, 0, length);
    count = std::clamp<std::int64_t>(count, 0, length - position);
    if (count == 0 && text.Bytes.empty()) return;
    const std::uint64_t from = RawOfView(static_cast<std::uint64_t>(position), false);
    const std::uint64_t to = count == 0 ? from : RawOfView(static_cast<std::uint64_t>(position + count), true);
    BeginUndoGroup();
    ReplaceRaw(from, to, text);
    // The later seam first: mending the earlier one may move it.
    if (!text.Bytes.empty()) MendJoin(from + text.Bytes.size());
    MendJoin(from);
    EndUndoGroup();
}

void TTextBuffer::ReplaceRaw(std::uint64_t from, std::uint64_t to, const TSjisText& text) {
    std::unique_ptr<TNode> left, rest, middle, right;
    Split(std::move(FRoot), from, left, rest);
    Split(std::move(rest), to - from, middle, right);
    std::unique_ptr<TNode> inserted;
    if (!text.Bytes.empty()) inserted = NewNode(MakePiece(0, AddToEditBuffer(text), text.Bytes.size()));
    FRoot = Merge(Merge(std::move(left), std::move(inserted)), std::move(right));
    FUndo.back().Edits.push_back({from, text.Bytes.size(), std::move(middle)});
}

void TTextBuffer::MendJoin(std::uint64_t at) {
    // A lone CR that an edit brought next to a lone LF would read as one CR LF break and
    // lose a line: the CR becomes a CR LF of its own.
    if (at == 0 || at >= RawOf(FRoot)) return;
    if (RawByte(at - 1) == '\r' && RawByte(at) == '\n') ReplaceRaw(at - 1, at, TSjisText{"\r\n", {}});
}

std::int64_t TTextBuffer::ReplaceRanges(const std::vector<TViewRange>& ranges, std::u16string_view text) {
    if (ranges.empty()) return -1;
    const TSjisText sjis = ToSjisText(text);
    const TSjisText normalized = Normalized(sjis.Bytes, &sjis.Foreign);
    const std::uint64_t total = RawOf(FRoot);
    // Raw spans, and whether a seam would join a lone CR and a lone LF (then the ranges
    // go one by one, each seam mended).
    std::vector<std::pair<std::uint64_t, std::uint64_t>> raws;
    raws.reserve(ranges.size());
    bool mend = false;
    for (const TViewRange& r : ranges) {
        const auto start = static_cast<std::uint64_t>(std::clamp<std::int64_t>(r.Start, 0, Length()));
        const auto end = static_cast<std::uint64_t>(std::clamp<std::int64_t>(r.Start + r.Length, r.Start, Length()));
        const std::uint64_t from = RawOfView(start, false);
        const std::uint64_t to = end == start ? from : RawOfView(end, true);
        if (!raws.empty() && from < raws.back().second) continue;
        raws.emplace_back(from, to);
        const bool before = from > 0 && RawByte(from - 1) == '\r';
        const bool after = to < total && RawByte(to) == '\n';
        const std::string& b = normalized.Bytes;
        if ((before && (b.empty() ? after : b.front() == '\n')) || (after && !b.empty() && b.back() == '\r')) mend = true;
    }
    BeginUndoGroup();
    const std::uint64_t insertedView = ViewLength(normalized.Bytes);
    if (mend) {
        for (auto it = raws.rbegin(); it != raws.rend(); ++it) {
            ReplaceRaw(it->first, it->second, normalized);
            if (!normalized.Bytes.empty()) MendJoin(it->first + normalized.Bytes.size());
            MendJoin(it->first);
        }
    } else {
        TPiece inserted;
        if (!normalized.Bytes.empty()) inserted = MakePiece(0, AddToEditBuffer(normalized), normalized.Bytes.size());
        std::vector<TPiece> old;
        CollectPieces(FRoot.get(), old);
        std::vector<TPiece> pieces;
        pieces.reserve(old.size() + 2 * raws.size());
        const auto keep = [&](const TPiece& p, std::uint64_t pieceAt, std::uint64_t a, std::uint64_t b) {
            if (b > a) pieces.push_back(MakePiece(p.Source, p.Start + (a - pieceAt), b - a));
        };
        std::size_t next = 0;
        bool placed = false;  // the replacement of raws[next] is in
        std::uint64_t at = 0;
        for (const TPiece& p : old) {
            const std::uint64_t end = at + p.Length;
            std::uint64_t from = at;
            while (next < raws.size() && raws[next].first < end) {
                keep(p, at, from, std::max(from, raws[next].first));
                if (!placed && !normalized.Bytes.empty()) pieces.push_back(inserted);
                placed = true;
                if (raws[next].second > end) {
                    from = end;
                    break;
                }
                from = std::max(from, raws[next].second);
                ++next;
                placed = false;
            }
            keep(p, at, from, end);
            at = end;
        }
        for (; next < raws.size(); ++next) {  // ranges at the very end of the text
            if (!placed && !normalized.Bytes.empty()) pieces.push_back(inserted);
            placed = false;
        }
        std::unique_ptr<TNode> previous = std::move(FRoot);
        FRoot = Build(pieces);
        FUndo.back().Edits.push_back({0, RawOf(FRoot), std::move(previous)});
    }
    EndUndoGroup();
    // The view position after the last replacement.
    std::int64_t shift = 0;
    for (std::size_t i = 0; i + 1 < ranges.size(); ++i) shift += static_cast<std::int64_t>(insertedView) - ranges[i].Length;
    return std::clamp<std::int64_t>(ranges.back().Start + shift + static_cast<std::int64_t>(insertedView), 0, Length());
}

void TTextBuffer::BeginUndoGroup() {
    if (FGroupDepth++ == 0) FUndo.push_back({FNextGroupId++, {}});
}

void TTextBuffer::EndUndoGroup() {
    if (FGroupDepth == 0) return;
    if (--FGroupDepth == 0 && FUndo.back().Edits.empty()) FUndo.pop_back();
}

std::size_t TTextBuffer::UndoSteps() const { return FUndo.size(); }

bool TTextBuffer::CanUndo() const {
    return std::any_of(FUndo.begin(), FUndo.end(), [](const TGroup& group) { return !group.Edits.empty(); });
}

std::int64_t TTextBuffer::Undo() {
    while (FGroupDepth > 0) EndUndoGroup();
    if (FUndo.empty()) return -1;
    TGroup group = std::move(FUndo.back());
    FUndo.pop_back();
    std::uint64_t caret = 0;
    for (auto it = group.Edits.rbegin(); it != group.Edits.rend(); ++it) {
        std::unique_ptr<TNode> left, rest, inserted, right;
        Split(std::move(FRoot), it->At, left, rest);
        Split(std::move(rest), it->Inserted, inserted, right);
        caret = it->At + RawOf(it->Removed);
        FRoot = Merge(Merge(std::move(left), std::move(it->Removed)), std::move(right));
    }
    return static_cast<std::int64_t>(ViewOfRaw(caret));
}

std::uint64_t TTextBuffer::TopGroupId() const {
    for (auto it = FUndo.rbegin(); it != FUndo.rend(); ++it)
        if (!it->Edits.empty()) return it->Id;
    return 0;
}

bool TTextBuffer::Modified() const { return TopGroupId() != FSavedGroup; }

void TTextBuffer::SetModified(bool modified) { FSavedGroup = modified ? kNoSavePoint : TopGroupId(); }

}  // namespace xavo
