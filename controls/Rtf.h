// The text view's small RTF layer: a document of formatted runs, read from and written
// to RTF bytes, without a screen.
//
// The reader knows groups, \par, \line, \tab, \'hh in the code page of the current font
// (932 for \fcharset128, 1252 for \fcharset0, else the document's \ansicpg), \uN with
// \ucN, bold, italic, underline, strike-out, font size, the colour and font tables, and
// skips other destinations; it never fails on malformed input. The writer produces RTF
// with \ansicpg932 that the reader turns back into the same document.
// Entry points: LooksLikeRtf, ReadRtf, WriteRtf.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace xavo {

// A font name that formats share: copying one copies a pointer, so a long name used by
// many runs is held once. Compares by content.
class TRtfFontName {
public:
    TRtfFontName() = default;
    TRtfFontName(std::u16string_view name);
    TRtfFontName(const std::u16string& name) : TRtfFontName(std::u16string_view(name)) {}
    TRtfFontName(const char16_t* name) : TRtfFontName(std::u16string_view(name)) {}
    bool empty() const { return FName == nullptr; }
    std::u16string_view View() const { return FName ? std::u16string_view(*FName) : std::u16string_view(); }
    operator std::u16string_view() const { return View(); }
    friend bool operator==(const TRtfFontName& a, const TRtfFontName& b) {
        return a.FName == b.FName || a.View() == b.View();
    }

private:
    std::shared_ptr<const std::u16string> FName;  // null for the empty name
};

// Font names longer than this (in UTF-16 units) are cut; real faces are far shorter.
constexpr std::size_t kMaxRtfFontNameLength = 255;

struct TRtfCharFormat {
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    int HalfPoints = 0;           // font size in half points; 0 = the view's own size
    bool HasColor = false;        // false = the view's own text colour
    std::uint32_t Color = 0;      // 0xRRGGBB
    TRtfFontName FontName;        // empty = the view's own font
    bool operator==(const TRtfCharFormat&) const = default;
};

struct TRtfRun {
    std::u16string Text;          // u'\n' ends a paragraph
    TRtfCharFormat Format;
    bool operator==(const TRtfRun&) const = default;
};

// Runs in order; adjacent runs never share a format and none is empty.
struct TRtfDocument {
    std::vector<TRtfRun> Runs;
    // Appends Text in Format, joining it to the last run when the format is the same.
    void Append(std::u16string_view text, const TRtfCharFormat& format);
    std::u16string PlainText() const;
    bool operator==(const TRtfDocument&) const = default;
};

// True when Bytes begin with "{\rtf".
bool LooksLikeRtf(std::string_view bytes);

// Reads RTF bytes. The paragraph mark that ends the document is not part of its text.
TRtfDocument ReadRtf(std::string_view bytes);

// Writes Document as RTF (\ansicpg932; characters without a CP932 code as \uN).
// DefaultFont names the font of runs without a font name (font 0 of the font table).
std::string WriteRtf(const TRtfDocument& document, std::u16string_view defaultFont = {});

}  // namespace xavo
