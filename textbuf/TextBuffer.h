// The document under the text view: Shift-JIS bytes in sources that never change (a file's
// bytes read or mapped once, text converted from a file in another encoding, the
// append-only edit buffer), a piece table over them, and line breaks counted per piece, so
// that every position and line query is O(log pieces) plus a scan of at most one index
// chunk, and nothing rescans the file after an edit.
//
// Positions are view positions: byte offsets into the text as if every line break were
// the two bytes CR LF, whatever the file holds (CR LF, LF or a lone CR, mixed as they
// come). Lines count from 0; the text after the last break is a line too, empty when the
// text ends with a break. The raw bytes (what Save writes) keep every break as it was;
// new breaks take the style of the document's first break (CR LF when it has none).
//
// Foreign units: a UTF-16 unit that Shift-JIS cannot hold exactly (U+00A5, an emoji's
// halves, a byte of another encoding that forms no character) is held as a placeholder of
// SjisLength(unit) '?' bytes, noted with the unit beside its source. Byte reads (Text)
// give the placeholders, as EncodeSjis gives them; Decode gives the units, so a foreign
// character is shown and saved as itself. A '?' is never a trail byte, so a placeholder
// is a character of its own in the byte text.
//
// An edit boundary that falls between the two view bytes of a break is moved to cover
// the whole break (an insertion there goes before the break). Edits are undone in groups:
// every edit is one group, and Begin/EndUndoGroup gather several into one.
#pragma once

#include "BreakIndex.h"
#include "FileBytes.h"

#include <cstdint>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace xavo {

enum class TBreakStyle : unsigned char { CrLf, Lf, Cr };

// Foreign units of a Shift-JIS text: At[i] is the byte offset of the placeholder of
// Units[i]; offsets ascend.
struct TForeignUnits {
    std::vector<std::uint64_t> At;
    std::u16string Units;
    bool Empty() const { return At.empty(); }
};

// A Shift-JIS text with its foreign units: what a document is built from.
struct TSjisText {
    std::string Bytes;
    TForeignUnits Foreign;
};

// Text as the document stores it: Shift-JIS where a unit reads back exactly, placeholders
// for the others (see above). Never fails.
TSjisText ToSjisText(std::u16string_view text);

// Bytes decoded as DecodeSjis does, the placeholders of Foreign (offsets into Bytes) read
// as their units.
std::u16string DecodeSjisText(std::string_view bytes, const TForeignUnits& foreign);

// A view range: Length view bytes from Start.
struct TViewRange {
    std::int64_t Start = 0;
    std::int64_t Length = 0;
};

class TTextBuffer {
public:
    TTextBuffer();
    // A Shift-JIS file's bytes as they are.
    explicit TTextBuffer(TFileBytes bytes);
    // Text converted from a file in another encoding.
    explicit TTextBuffer(TSjisText text);
    TTextBuffer(TTextBuffer&&) noexcept;
    TTextBuffer& operator=(TTextBuffer&&) noexcept;
    ~TTextBuffer();

    // --- Positions and lines (view positions) ---
    std::int64_t Length() const;
    std::int64_t LineCount() const;
    // The line holding Position; positions before the start give 0, past the end the last line.
    std::int64_t LineFromChar(std::int64_t position) const;
    // Start of Line, or -1 when there is no such line.
    std::int64_t LineIndex(std::int64_t line) const;
    // Bytes of the line holding Position, its break excluded.
    std::int64_t LineLength(std::int64_t position) const;

    // --- Reading (never the whole document unless asked for) ---
    // The view bytes [From, From + Count), clipped to the text; foreign units as placeholders.
    std::string Text(std::int64_t from, std::int64_t count) const;
    std::string Text() const { return Text(0, Length()); }
    std::string LineText(std::int64_t line) const;
    // Lines [First, First + Count) that exist, without their breaks: a screenful for the
    // price of two line queries.
    std::vector<std::string> LineTexts(std::int64_t first, std::int64_t count) const;
    // The view byte at Position (0 <= Position < Length).
    char ByteAt(std::int64_t position) const;
    // The view text [From, From + Count) as UTF-16 (breaks as CR LF), foreign units as
    // themselves. A range that cuts a double-byte character decodes its half as a byte.
    std::u16string Decode(std::int64_t from, std::int64_t count) const;
    // Characters in the view text [From, From + Count): a double-byte character, a break
    // and a character beyond the BMP (two foreign units) count one each.
    std::int64_t CountCharacters(std::int64_t from, std::int64_t count) const;
    // Whether any foreign unit is held (the whole document: sources, not only pieces).
    bool HasForeign() const;
    // Whether Position is the first byte of a foreign unit's placeholder.
    bool IsForeign(std::int64_t position) const;
    // The foreign unit at Position (IsForeign), else 0.
    char16_t ForeignUnit(std::int64_t position) const;

    // --- Editing ---
    void Replace(std::int64_t position, std::int64_t count, std::string_view sjis);
    void Replace(std::int64_t position, std::int64_t count, std::u16string_view text);
    void Insert(std::int64_t position, std::string_view bytes) { Replace(position, 0, bytes); }
    void Erase(std::int64_t position, std::int64_t count) { Replace(position, count, std::string_view()); }
    // Replaces every range (ascending, not overlapping) by Text as one undo group, in one
    // pass over the pieces: the cost grows with the pieces and the ranges, not with their
    // product. Returns the view position just after the last replacement (-1 with none).
    std::int64_t ReplaceRanges(const std::vector<TViewRange>& ranges, std::u16string_view text);
    void BeginUndoGroup();
    void EndUndoGroup();
    bool CanUndo() const;
    // Undoes the last group; returns the view position just after the text it put back
    // where the group's first edit was (where a caret goes), or -1 with nothing to undo.
    std::int64_t Undo();
    // Undo groups held (an open group counts).
    std::size_t UndoSteps() const;
    // Whether the text differs from its save point. SetModified(false) makes the current
    // state the save point; undoing back to it makes the text unmodified again.
    // SetModified(true) leaves no save point until the next SetModified(false).
    bool Modified() const;
    void SetModified(bool modified);

    // --- Appending original text (a file read in parts, a log's new end): not an edit ---
    // The bytes go after the last byte of the text; nothing to undo, the save point stays.
    // A part may be prepared (its breaks counted) on any thread, then appended.
    struct TSource;
    static std::unique_ptr<TSource> Prepare(TSjisText text);
    void AppendOriginal(std::unique_ptr<TSource> source);
    void AppendOriginal(TFileBytes bytes);
    void AppendOriginal(TSjisText text) { AppendOriginal(Prepare(std::move(text))); }

    // --- The raw bytes, breaks as stored ---
    std::int64_t RawLength() const;
    TBreakStyle BreakStyle() const { return FStyle; }
    // Calls Sink with the raw bytes in order, one span per piece, with the span's foreign
    // units (offsets into the span); stops when it returns false.
    void ForEachRawSpan(const std::function<bool(std::string_view, const TForeignUnits&)>& sink) const;
    void ForEachRawSpan(const std::function<bool(std::string_view)>& sink) const;
    std::string RawText() const;
    // Whether a mapped file behind the text lost pages to another program's truncation
    // (they read as zeros: the text is no longer the file's).
    bool LostBytes() const;
    // Whether a mapped source of the text is the file Path (writing to it in place would
    // change the bytes under the pieces).
    bool MapsFile(const std::string& path) const;

    struct TNode;
    struct TPiece {
        std::uint32_t Source = 0;  // 0: the edit buffer
        std::uint64_t Start = 0;
        std::uint64_t Length = 0;
        std::uint64_t Breaks = 0;
        std::uint64_t CrLfs = 0;
        std::uint64_t View() const { return Length + Breaks - CrLfs; }
    };

private:
    struct TFound;
    struct TEdit;
    struct TGroup;

    const TSource& SourceOf(std::uint32_t index) const { return *FSources[index]; }
    TSource& EditBuffer() { return *FSources[0]; }
    TPiece MakePiece(std::uint32_t source, std::uint64_t start, std::uint64_t length) const;
    std::unique_ptr<TNode> NewNode(const TPiece& piece);
    void Split(std::unique_ptr<TNode> t, std::uint64_t raw, std::unique_ptr<TNode>& left, std::unique_ptr<TNode>& right);
    std::unique_ptr<TNode> Merge(std::unique_ptr<TNode> a, std::unique_ptr<TNode> b);
    std::unique_ptr<TNode> Build(const std::vector<TPiece>& pieces);
    void AddSource(std::unique_ptr<TSource> source);  // indexed
    void NoteStyle(const TSource& source);

    TFound FindView(std::uint64_t view) const;
    TFound FindBreak(std::uint64_t index) const;
    TFound FindRaw(std::uint64_t raw) const;
    std::uint64_t RawOfView(std::uint64_t view, bool end) const;
    std::uint64_t ViewOfRaw(std::uint64_t raw) const;
    unsigned char RawByte(std::uint64_t raw) const;
    // Appends Text (normalized) to the edit buffer; returns where it starts.
    std::uint64_t AddToEditBuffer(const TSjisText& text);
    void ReplaceRaw(std::uint64_t from, std::uint64_t to, const TSjisText& text);
    void MendJoin(std::uint64_t at);
    void ReplaceText(std::int64_t position, std::int64_t count, const TSjisText& text);
    TSjisText Normalized(std::string_view bytes, const TForeignUnits* foreign) const;
    void AppendText(std::uint64_t from, std::uint64_t count, std::string& out, TForeignUnits* foreign) const;
    std::uint64_t TopGroupId() const;
    // Calls Sink for each piece that ends after view offset From, in order, with the
    // piece and its view offset; stops when Sink returns false.
    void ForEachPiece(std::uint64_t from, const std::function<bool(const TPiece&, std::uint64_t)>& sink) const;

    std::vector<std::unique_ptr<TSource>> FSources;
    std::unique_ptr<TNode> FRoot;
    TBreakStyle FStyle = TBreakStyle::CrLf;
    bool FStyleKnown = false;
    std::vector<TGroup> FUndo;
    int FGroupDepth = 0;
    std::uint64_t FNextGroupId = 1;
    std::uint64_t FSavedGroup = 0;  // the top group's id at the save point; kNoSavePoint for none
    std::uint32_t FSeed = 0x9E3779B9u;
};

// One store of bytes the pieces refer to: a file's bytes or converted text (never
// changed), or the edit buffer (only appended to). Its breaks are indexed; its foreign
// units noted by offset.
struct TTextBuffer::TSource {
    TFileBytes Bytes;
    std::string Edits;
    bool EditBuffer = false;
    TBreakIndex Index;
    TForeignUnits Foreign;

    const unsigned char* Data() const {
        return EditBuffer ? reinterpret_cast<const unsigned char*>(Edits.data()) : Bytes.Data();
    }
    std::uint64_t Size() const { return EditBuffer ? Edits.size() : Bytes.Size(); }
    // The first foreign unit at or after Offset.
    std::size_t ForeignFrom(std::uint64_t offset) const {
        return static_cast<std::size_t>(std::lower_bound(Foreign.At.begin(), Foreign.At.end(), offset) - Foreign.At.begin());
    }
};

}  // namespace xavo
