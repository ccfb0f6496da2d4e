// Byte positions of the text view's lines, without a screen.
//
// TLineIndex keeps the byte length of every line (line break excluded; each break counts
// two bytes, CR LF) and answers line start <-> position in O(log lines). TLineMap maps
// UTF-16 units of one line to byte offsets and back, with checkpoints so that a very long
// line is not walked from its start on every query.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace xavo {

class TLineIndex {
public:
    TLineIndex() { Assign({0}); }

    // Replaces all lines; an empty list counts as one empty line.
    void Assign(std::vector<int> lengths);

    // Lines [First, First + Count) become lines with the given lengths.
    void Replace(int first, int count, const std::vector<int>& lengths);

    int LineCount() const { return static_cast<int>(FLengths.size()); }
    int Length(int line) const { return FLengths[static_cast<std::size_t>(line)]; }
    // Byte position of the start of Line (0 <= Line <= LineCount; LineCount gives the end
    // of the text plus two).
    std::int64_t Start(int line) const;
    // The line that contains Position; positions past the end give the last line.
    int LineOf(std::int64_t position) const;
    // Bytes of the whole text, breaks included.
    std::int64_t TextLength() const { return Start(LineCount()) - 2; }

private:
    void Rebuild() const;

    std::vector<int> FLengths;
    // Fenwick tree over (length + 2) per line, rebuilt lazily after lines come or go.
    mutable std::vector<std::int64_t> FTree;
    mutable bool FDirty = true;
};

// One line's UTF-16 text with byte offsets (units as the codec decodes them).
class TLineMap {
public:
    explicit TLineMap(std::u16string text = {});

    const std::u16string& Text() const { return FText; }
    int Units() const { return static_cast<int>(FText.size()); }
    int Bytes() const { return FBytes; }
    // Byte offset of unit Units (0..Units()).
    int BytesBefore(int units) const;
    // The unit that holds byte offset Bytes (0..Bytes()); a byte inside a double-byte
    // character gives that character's unit.
    int UnitAt(int bytes) const;

private:
    static constexpr int kCheckpointUnits = 1024;
    std::u16string FText;
    int FBytes = 0;
    std::vector<int> FCheckpoints;  // bytes before unit k * kCheckpointUnits
};

}  // namespace xavo
