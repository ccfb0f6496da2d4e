// Unit <-> byte maps of single lines of the text view.
#include "LineMap.h"
#include "SjisCodec.h"

#include <gtest/gtest.h>


namespace xavo {
namespace {

TEST(LineMap, MapsUnitsAndBytesOfShortAndLongLines) {
    // so, a, half-width a, and a lone lead byte: 2, 1, 1, 1 bytes.
    const std::u16string piece = DecodeSjis("\x83\x5C" "a\xB1\x83");
    for (const int repeat : {1, 700}) {  // 700 pieces cross several checkpoints
        std::u16string text;
        for (int i = 0; i < repeat; ++i) text += piece;
        const TLineMap map(text);
        ASSERT_EQ(map.Bytes(), 5 * repeat);
        int bytes = 0;
        for (int unit = 0; unit <= map.Units(); ++unit) {
            ASSERT_EQ(map.BytesBefore(unit), bytes) << unit;
            ASSERT_EQ(map.UnitAt(bytes), unit) << unit;
            if (unit == map.Units()) break;
            const int width = SjisLength(text[static_cast<std::size_t>(unit)]);
            if (width == 2) {
                ASSERT_EQ(map.UnitAt(bytes + 1), unit) << "inside a character";
            }
            bytes += width;
        }
        EXPECT_EQ(map.UnitAt(-1), 0);
        EXPECT_EQ(map.UnitAt(bytes + 9), map.Units());
    }
}

}  // namespace
}  // namespace xavo
