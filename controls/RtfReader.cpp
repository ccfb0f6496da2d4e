// RTF bytes -> TRtfDocument (see Rtf.h). One pass over the bytes with a stack of group
// states; text is gathered per format and decoded when the format or destination changes.
#include "Rtf.h"

#include "SjisCodec.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <set>

namespace xavo {

TRtfFontName::TRtfFontName(std::u16string_view name) {
    if (!name.empty()) FName = std::make_shared<const std::u16string>(name);
}

void TRtfDocument::Append(std::u16string_view text, const TRtfCharFormat& format) {
    if (text.empty()) return;
    if (!Runs.empty() && Runs.back().Format == format)
        Runs.back().Text += text;
    else
        Runs.push_back({std::u16string(text), format});
}

std::u16string TRtfDocument::PlainText() const {
    std::u16string text;
    for (const TRtfRun& run : Runs) text += run.Text;
    return text;
}

bool LooksLikeRtf(std::string_view bytes) { return bytes.substr(0, 5) == "{\\rtf"; }

namespace {

// Windows-1252 for bytes 0x80-0x9F; the rest is Latin-1 (undefined codes stay C1 controls).
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::u16string DecodeCodePage(std::string_view bytes, int codePage) {
    if (codePage == 932) return DecodeSjis(bytes);
    std::u16string text;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text.push_back(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t{b});
    }
    return text;
}

// Destinations whose content is not text of the document.
const std::set<std::string_view> kSkippedDestinations = {
    "annotation", "atnid", "author", "bkmkend", "bkmkstart", "buptim", "colorschememapping",
    "comment", "creatim", "datastore", "docvar", "doccomm", "filetbl", "fldinst", "footer",
    "footerf", "footerl", "footerr", "footnote", "generator", "header", "headerf", "headerl",
    "headerr", "info", "keywords", "latentstyles", "listoverridetable", "listtable", "listtext",
    "nonshppict", "object", "operator", "pict", "pn", "pntext", "pntxta", "pntxtb", "printim",
    "private", "revtbl", "revtim", "rsidtbl", "shppict", "stylesheet", "subject", "themedata",
    "title", "txe", "userprops", "xe", "xmlnstbl"};

enum class TDestination { Text, Skip, FontTable, ColorTable };

struct TGroupState {
    TRtfCharFormat Format;
    int Font = -1;
    int FallbackCount = 1;  // \ucN
    TDestination Destination = TDestination::Text;
};

struct TFontEntry {
    TRtfFontName Name;  // shared by every run in the font
    int Charset = 1;
};

class TRtfReader {
public:
    explicit TRtfReader(std::string_view in) : FIn(in) {}

    TRtfDocument Read() {
        while (FPos < FIn.size()) {
            const char c = FIn[FPos++];
            if (c == '{') {
                Flush();
                FSkipFallback = 0;
                if (FStack.size() < kMaxDepth)
                    FStack.push_back(FState);
                else
                    ++FDeepGroups;  // nested too deep: the groups share their parent's state
            } else if (c == '}') {
                Flush();
                FSkipFallback = 0;
                if (FDeepGroups > 0) {
                    --FDeepGroups;
                    continue;
                }
                if (FState.Destination == TDestination::FontTable) CommitFont();
                if (FStack.empty()) break;  // the document's closing brace
                FState = FStack.back();
                FStack.pop_back();
            } else if (c == '\\') {
                ReadControl();
            } else if (c == '\r' || c == '\n') {
                // line breaks of the RTF file itself mean nothing
            } else if (c == '\t') {
                ControlWord("tab", false, 0);
            } else {
                AddByte(static_cast<unsigned char>(c));
            }
        }
        Flush();
        if (FEndsWithParagraph && !FDocument.Runs.empty()) {
            std::u16string& last = FDocument.Runs.back().Text;
            last.pop_back();
            if (last.empty()) FDocument.Runs.pop_back();
        }
        return std::move(FDocument);
    }

private:
    void ReadControl() {
        if (FPos >= FIn.size()) return;
        const char c = FIn[FPos];
        if (!std::isalpha(static_cast<unsigned char>(c))) {
            ++FPos;
            ControlSymbol(c);
            return;
        }
        const std::size_t start = FPos;
        while (FPos < FIn.size() && FPos - start < 32 && std::isalpha(static_cast<unsigned char>(FIn[FPos]))) ++FPos;
        const std::string_view word = FIn.substr(start, FPos - start);
        bool negative = false, hasParam = false;
        long long param = 0;
        if (FPos < FIn.size() && FIn[FPos] == '-') {
            negative = true;
            ++FPos;
        }
        while (FPos < FIn.size() && std::isdigit(static_cast<unsigned char>(FIn[FPos]))) {
            if (param < 100000000000LL) param = param * 10 + (FIn[FPos] - '0');
            hasParam = true;
            ++FPos;
        }
        if (FPos < FIn.size() && FIn[FPos] == ' ') ++FPos;
        const long long value = std::clamp(negative ? -param : param, -2147483647LL, 2147483647LL);
        ControlWord(word, hasParam, static_cast<int>(value));
    }

    bool ConsumeFallback() {
        if (FSkipFallback <= 0) return false;
        --FSkipFallback;
        return true;
    }

    void ControlSymbol(char c) {
        switch (c) {
        case '\'': {
            int value = 0, digits = 0;
            while (digits < 2 && FPos < FIn.size() && std::isxdigit(static_cast<unsigned char>(FIn[FPos]))) {
                const char h = static_cast<char>(std::tolower(static_cast<unsigned char>(FIn[FPos++])));
                value = value * 16 + (h <= '9' ? h - '0' : h - 'a' + 10);
                ++digits;
            }
            if (digits > 0) AddByte(static_cast<unsigned char>(value));
            return;
        }
        case '\\': case '{': case '}':
            AddByte(static_cast<unsigned char>(c));
            return;
        case '*':
            Flush();
            FState.Destination = TDestination::Skip;
            return;
        case '\r': case '\n':
            ControlWord("par", false, 0);
            return;
        case '~':
            AddUnit(u' ');
            return;
        case '_':
            AddUnit(u'-');
            return;
        default:
            ConsumeFallback();  // \- and unknown symbols
            return;
        }
    }

    void ControlWord(std::string_view word, bool hasParam, int param) {
        if (ConsumeFallback()) return;
        if (word == "bin") {  // raw binary data: skip it whole
            Flush();
            FPos = std::min(FIn.size(), FPos + static_cast<std::size_t>(std::max(param, 0)));
            return;
        }
        if (FState.Destination == TDestination::Skip) return;
        if (word == "u" && hasParam) {
            AddUnit(static_cast<char16_t>(param < 0 ? param + 65536 : param));
            FSkipFallback = FState.FallbackCount;
            return;
        }
        if (word == "uc") {
            FState.FallbackCount = std::max(param, 0);
            return;
        }
        if (FState.Destination == TDestination::FontTable) {
            FontTableWord(word, param);
            return;
        }
        if (FState.Destination == TDestination::ColorTable) {
            if (word == "red") FRed = param, FColorSet = true;
            else if (word == "green") FGreen = param, FColorSet = true;
            else if (word == "blue") FBlue = param, FColorSet = true;
            return;
        }
        if (word == "par" || word == "line" || word == "sect") {
            AddUnit(u'\n');
            FEndsWithParagraph = word != "line";
        } else if (word == "tab") {
            AddUnit(u'\t');
        } else if (word == "emdash") {
            AddUnit(u'\u2014');
        } else if (word == "endash") {
            AddUnit(u'\u2013');
        } else if (word == "lquote") {
            AddUnit(u'\u2018');
        } else if (word == "rquote") {
            AddUnit(u'\u2019');
        } else if (word == "ldblquote") {
            AddUnit(u'\u201C');
        } else if (word == "rdblquote") {
            AddUnit(u'\u201D');
        } else if (word == "bullet") {
            AddUnit(u'\u2022');
        } else if (word == "ansicpg") {
            FAnsiCodePage = param;
        } else if (word == "deff") {
            FDefaultFont = param;
        } else if (word == "fonttbl") {
            Flush();
            FState.Destination = TDestination::FontTable;
        } else if (word == "colortbl") {
            Flush();
            FState.Destination = TDestination::ColorTable;
        } else if (kSkippedDestinations.count(word) != 0) {
            Flush();
            FState.Destination = TDestination::Skip;
        } else {
            FormatWord(word, hasParam, param);
        }
    }

    void FormatWord(std::string_view word, bool hasParam, int param) {
        const bool on = !hasParam || param != 0;
        TRtfCharFormat format = FState.Format;
        if (word == "b") format.Bold = on;
        else if (word == "i") format.Italic = on;
        else if (word == "ul" || word == "uld" || word == "uldb" || word == "uldash" || word == "ulw" ||
                 word == "ulth" || word == "ulwave")
            format.Underline = on;
        else if (word == "ulnone") format.Underline = false;
        else if (word == "strike" || word == "striked") format.StrikeOut = on;
        else if (word == "fs") format.HalfPoints = std::max(param, 0);
        else if (word == "cf") {
            const auto index = static_cast<std::size_t>(std::max(param, 0));
            format.HasColor = index < FColors.size() && FColors[index].first;
            format.Color = format.HasColor ? FColors[index].second : 0;
        } else if (word == "f") {
            FState.Font = param;
            const auto font = FFonts.find(param);
            format.FontName = param == FDefaultFont || font == FFonts.end() ? TRtfFontName() : font->second.Name;
        } else if (word == "plain") {
            format = TRtfCharFormat();
            FState.Font = -1;
        } else {
            return;  // paragraph and document properties: not shown
        }
        if (!(format == FState.Format)) {
            Flush();
            FState.Format = format;
        }
    }

    void FontTableWord(std::string_view word, int param) {
        if (word == "f") {
            CommitFont();
            FFontNumber = param;
            FFontCharset = 1;
        } else if (word == "fcharset") {
            FFontCharset = param;
        }
    }

    void CommitFont() {
        Flush();
        if (FFontNumber >= 0) {
            std::u16string_view name = FFontName;
            while (!name.empty() && name.back() == u' ') name.remove_suffix(1);
            if (name.size() > kMaxRtfFontNameLength) {
                name = name.substr(0, kMaxRtfFontNameLength);
                if (name.back() >= 0xD800 && name.back() < 0xDC00) name.remove_suffix(1);  // half a pair
            }
            FFonts[FFontNumber] = {TRtfFontName(name), FFontCharset};
        }
        FFontNumber = -1;
        FFontName.clear();
    }

    // The code page of \'hh and raw bytes: the current font's character set decides.
    int CodePage() const {
        int charset = FFontCharset;
        if (FState.Destination != TDestination::FontTable) {
            const auto font = FFonts.find(FState.Font >= 0 ? FState.Font : FDefaultFont);
            charset = font == FFonts.end() ? 1 : font->second.Charset;
        }
        if (charset == 128) return 932;
        if (charset == 0 || charset == 2) return 1252;
        return FAnsiCodePage == 932 ? 932 : 1252;
    }

    void AddByte(unsigned char b) {
        if (ConsumeFallback()) return;
        if (FState.Destination == TDestination::Skip) return;
        if (FState.Destination == TDestination::ColorTable) {
            if (b == ';') {
                FColors.emplace_back(FColorSet, static_cast<std::uint32_t>((FRed & 0xFF) << 16 | (FGreen & 0xFF) << 8 | (FBlue & 0xFF)));
                FRed = FGreen = FBlue = 0;
                FColorSet = false;
            }
            return;
        }
        if (FState.Destination == TDestination::FontTable && b == ';') {
            CommitFont();
            return;
        }
        const int codePage = CodePage();
        if (!FBytes.empty() && codePage != FBytesCodePage) DecodeBytes();
        FBytesCodePage = codePage;
        FBytes.push_back(static_cast<char>(b));
        if (FState.Destination == TDestination::Text) FEndsWithParagraph = false;
    }

    void AddUnit(char16_t unit) {
        if (FState.Destination == TDestination::Skip || FState.Destination == TDestination::ColorTable) return;
        DecodeBytes();
        (FState.Destination == TDestination::FontTable ? FFontName : FText).push_back(unit);
        if (FState.Destination == TDestination::Text) FEndsWithParagraph = false;
    }

    void DecodeBytes() {
        if (FBytes.empty()) return;
        (FState.Destination == TDestination::FontTable ? FFontName : FText) += DecodeCodePage(FBytes, FBytesCodePage);
        FBytes.clear();
    }

    // Called before the format or the destination changes: the gathered text belongs to
    // the state it was read in.
    void Flush() {
        DecodeBytes();
        FDocument.Append(FText, FState.Format);
        FText.clear();
    }

    static constexpr std::size_t kMaxDepth = 1000;

    std::string_view FIn;
    std::size_t FPos = 0;
    std::vector<TGroupState> FStack;
    std::size_t FDeepGroups = 0;
    TGroupState FState;
    TRtfDocument FDocument;
    std::u16string FText;
    std::string FBytes;
    int FBytesCodePage = 932;
    int FSkipFallback = 0;
    bool FEndsWithParagraph = false;
    int FAnsiCodePage = 1252;
    int FDefaultFont = 0;
    std::map<int, TFontEntry> FFonts;
    int FFontNumber = -1;
    int FFontCharset = 1;
    std::u16string FFontName;
    std::vector<std::pair<bool, std::uint32_t>> FColors;
    int FRed = 0, FGreen = 0, FBlue = 0;
    bool FColorSet = false;
};

}  // namespace

TRtfDocument ReadRtf(std::string_view bytes) { return TRtfReader(bytes).Read(); }

}  // namespace xavo
