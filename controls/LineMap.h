// Byte positions inside one piece of a line of the text view, without a screen: TLineMap
// maps the piece's UTF-16 units to Shift-JIS byte offsets and back (a unit takes
// SjisLength bytes, as its bytes or its placeholder do in the document), with checkpoints
// so that a long piece is not walked from its start on every query.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace xavo {

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
