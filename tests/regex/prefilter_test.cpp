// Which candidate finder a pattern gets, and whether its matches stay within a line: a
// change of choice shows here before it shows as a slower (or wrong) search.
#include "Grep.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace xavo {
namespace {

std::string Hex(const std::string& bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b > 0x20 && b < 0x7F) {
            out += static_cast<char>(b);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "<%02X>", b);
            out += buf;
        }
    }
    return out;
}

// "literal ab", "codes 82A0 82A2", "word abc+codes 82A0", "bytes 61 62", "none", then
// " local" when every match lies within one line.
std::string Choice(const std::string& pattern, bool fuzzy) {
    TGrep grep;
    grep.SetUseFuzzyCharDic(fuzzy);
    grep.SetRegExp(pattern);
    const TGrepProgram& p = *grep.Program();
    std::string out;
    const auto append = [&](const char* format, unsigned value) {
        char buf[8];
        std::snprintf(buf, sizeof buf, format, value);
        out += buf;
    };
    if (!p.Literal().empty()) {
        out = "literal " + Hex(p.Literal());
    } else if (!p.FoldedWord().empty()) {
        out = "word " + p.FoldedWord() + (p.PrefilterCodes().empty() ? "" : "+codes");
        for (const std::uint16_t c : p.PrefilterCodes()) append(" %04X", c);
    } else if (!p.PrefilterCodes().empty()) {
        out = "codes";
        for (const std::uint16_t c : p.PrefilterCodes()) append(" %04X", c);
    } else if (!p.PrefilterBytes().empty()) {
        out = "bytes";
        for (const unsigned char b : p.PrefilterBytes()) append(" %02X", b);
    } else {
        out = "none";
    }
    if (p.IsLineLocal()) out += " local";
    return out;
}

struct Case {
    const char* Pattern;
    bool Fuzzy;
    const char* Expected;
};

const Case kCases[] = {
    // A string every match holds, in either encoding width; the rarest one wins.
    {"abc", false, "literal abc local"},
    {"\x82\xa0\x82\xa2", false, "literal <82><A0><82><A2> local"},
    {"\x8a\xbf\x8e\x9a|\x82\xa9\x82\xc8", false, "codes 82A9 8ABF local"},
    {"[\xe0\x40-\xe0\xfc]z", false, "literal z local"},
    {"a\\nb", false, "literal b"},
    {"e", false, "literal e local"},
    // A few codes that every match passes through.
    {"a.*b", false, "codes 0061 local"},
    {"(abc|xyz)", false, "codes 0061 0078 local"},
    {"q|z", false, "codes 0071 007A local"},
    {"x[^a]*y", false, "codes 0078 local"},
    {"x(\\n|\\r)*y", false, "codes 0078"},
    // A fuzzy word of letters: the word in any case, or one of its full-width forms.
    {"zip", true, "word zip+codes 8279 829A 8268 8289 826F 8290 local"},
    {"Hello", true, "word hello+codes 8267 8288 8264 8285 826B 828C 826E 828F local"},
    {"\x82\xa0", true, "codes 00A7 00B1 829F 82A0 8340 8341 local"},
    // Too many codes: a rare lead byte, or nothing when the bytes are too common.
    {"[\x88\x9f-\x88\xfc]", false, "bytes 88 local"},
    {"[A-Z]", false, "none local"},
    {"[\x83\x40-\x83\x96]+", false, "none local"},
    {"[0-9]+", false, "none local"},
    {".", false, "none local"},
    {"\\n", false, "none local"},
    {"^$", false, "none local"},
    {"", false, "none local"},
};

TEST(Prefilter, ChoiceOfCandidateFinder) {
    for (const Case& c : kCases)
        EXPECT_EQ(Choice(c.Pattern, c.Fuzzy), c.Expected) << Hex(c.Pattern) << (c.Fuzzy ? " (fuzzy)" : "");
}

}  // namespace
}  // namespace xavo
