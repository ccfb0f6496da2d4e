// The document under a text view: the file's bytes (read or mapped once, never copied),
// a piece table over them and an append-only edit buffer, and line breaks counted per
// piece, so that every position and line query is O(log pieces) plus a scan of at most
// one index chunk, and nothing rescans the file after an edit.
//
// Positions are view positions: byte offsets into the text as if every line break were
// the two bytes CR LF, whatever the file holds (CR LF, LF or a lone CR, mixed as they
// come). Lines count from 0; the text after the last break is a line too, empty when the
// text ends with a break. The raw bytes (what Save writes) keep every break as it was;
// new breaks take the style of the file's first break (CR LF when it has none).
//
// An edit boundary that falls between the two view bytes of a break is moved to cover
// the whole break (an insertion there goes before the break). Edits are undone in groups:
// every edit is one group, and Begin/EndUndoGroup gather several into one (replace all).
#pragma once

#include "BreakIndex.h"
#include "FileBytes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace xavo {

enum class TBreakStyle : unsigned char { CrLf, Lf, Cr };

class TTextBuffer {
public:
    TTextBuffer();
    explicit TTextBuffer(TFileBytes bytes);
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
    // The view bytes [From, From + Count), clipped to the text.
    std::string Text(std::int64_t from, std::int64_t count) const;
    std::string Text() const { return Text(0, Length()); }
    std::string LineText(std::int64_t line) const;
    // Lines [First, First + Count) that exist, without their breaks: a screenful for the
    // price of two line queries.
    std::vector<std::string> LineTexts(std::int64_t first, std::int64_t count) const;
    // The view byte at Position (0 <= Position < Length).
    char ByteAt(std::int64_t position) const;

    // --- Editing ---
    void Replace(std::int64_t position, std::int64_t count, std::string_view bytes);
    void Insert(std::int64_t position, std::string_view bytes) { Replace(position, 0, bytes); }
    void Erase(std::int64_t position, std::int64_t count) { Replace(position, count, {}); }
    void BeginUndoGroup();
    void EndUndoGroup();
    bool CanUndo() const;
    void Undo();
    bool Modified() const { return FModified; }
    void SetModified(bool modified) { FModified = modified; }

    // --- The raw bytes, breaks as stored ---
    std::int64_t RawLength() const;
    TBreakStyle BreakStyle() const { return FStyle; }
    // Calls Sink with the raw bytes in order, one span per piece; stops when it returns false.
    void ForEachRawSpan(const std::function<bool(std::string_view)>& sink) const;
    std::string RawText() const;
    const TFileBytes& Original() const { return FOriginal; }

    struct TNode;
    struct TPiece {
        bool Added = false;  // in the edit buffer, else in the original bytes
        std::uint64_t Start = 0;
        std::uint64_t Length = 0;
        std::uint64_t Breaks = 0;
        std::uint64_t CrLfs = 0;
        std::uint64_t View() const { return Length + Breaks - CrLfs; }
    };

private:
    struct TFound;
    struct TEdit;

    const unsigned char* DataOf(bool added) const;
    std::uint64_t SizeOf(bool added) const;
    const TBreakIndex& IndexOf(bool added) const;
    TPiece MakePiece(bool added, std::uint64_t start, std::uint64_t length) const;
    std::unique_ptr<TNode> NewNode(const TPiece& piece);
    void Split(std::unique_ptr<TNode> t, std::uint64_t raw, std::unique_ptr<TNode>& left, std::unique_ptr<TNode>& right);
    std::unique_ptr<TNode> Merge(std::unique_ptr<TNode> a, std::unique_ptr<TNode> b);

    TFound FindView(std::uint64_t view) const;
    TFound FindBreak(std::uint64_t index) const;
    TFound FindRaw(std::uint64_t raw) const;
    std::uint64_t RawOfView(std::uint64_t view, bool end) const;
    unsigned char RawByte(std::uint64_t raw) const;
    void ReplaceRaw(std::uint64_t from, std::uint64_t to, std::string_view bytes);
    void MendJoin(std::uint64_t at);
    std::string Normalized(std::string_view bytes) const;
    // Calls Sink for each piece that ends after view offset From, in order, with the
    // piece and its view offset; stops when Sink returns false.
    void ForEachPiece(std::uint64_t from, const std::function<bool(const TPiece&, std::uint64_t)>& sink) const;

    TFileBytes FOriginal;
    TBreakIndex FOriginalIndex;
    std::string FAdded;
    TBreakIndex FAddedIndex;
    std::unique_ptr<TNode> FRoot;
    TBreakStyle FStyle = TBreakStyle::CrLf;
    std::vector<std::vector<TEdit>> FUndo;
    int FGroupDepth = 0;
    bool FModified = false;
    std::uint32_t FSeed = 0x9E3779B9u;
};

}  // namespace xavo
