// TRtfDocument -> RTF bytes (see Rtf.h). Each run is written as a group of its own, so
// no format leaks into the next run and defaults need no control word.
#include "Rtf.h"

#include "SjisCodec.h"

#include <cstdio>
#include <unordered_map>

namespace xavo {
namespace {

void AppendHexByte(std::string& out, unsigned char b) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\'%02x", b);
    out += buffer;
}

// Text in the document's code page: printable ASCII as itself, CP932 characters as \'hh
// bytes, and as \uN with a '?' fallback what CP932 cannot hold (or holds only as raw
// bytes, which could join a neighbouring byte when read again).
void AppendText(std::string& out, std::u16string_view text) {
    for (const char16_t c : text) {
        if (c == u'\\' || c == u'{' || c == u'}') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == u'\n') {
            out += "\\par\r\n";
        } else if (c == u'\t') {
            out += "\\tab ";
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else if (IsSjisEscape(c) || FindUnencodable(std::u16string_view(&c, 1)) == 0) {
            out += "\\u" + std::to_string(static_cast<int>(c) - (c >= 0x8000 ? 65536 : 0)) + "?";
        } else {
            for (const char b : EncodeSjis(std::u16string_view(&c, 1))) AppendHexByte(out, static_cast<unsigned char>(b));
        }
    }
}

}  // namespace

std::string WriteRtf(const TRtfDocument& document, std::u16string_view defaultFont) {
    // Font 0 is the view's own font (runs without a name); named fonts follow. The tables
    // are numbered through hash maps: a document may use very many fonts and colours.
    std::vector<std::u16string_view> fonts;
    std::vector<std::uint32_t> colors;
    std::unordered_map<std::u16string_view, std::size_t> fontNumbers;
    std::unordered_map<std::uint32_t, std::size_t> colorNumbers;
    for (const TRtfRun& run : document.Runs) {
        const TRtfCharFormat& f = run.Format;
        if (!f.FontName.empty() && fontNumbers.try_emplace(f.FontName.View(), fonts.size() + 1).second)
            fonts.push_back(f.FontName.View());
        if (f.HasColor && colorNumbers.try_emplace(f.Color, colors.size() + 1).second) colors.push_back(f.Color);
    }
    std::string out = "{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0\\fnil\\fcharset128 ";
    AppendText(out, defaultFont);
    out += ";}";
    for (std::size_t i = 0; i < fonts.size(); ++i) {
        out += "{\\f" + std::to_string(i + 1) + "\\fnil\\fcharset128 ";
        AppendText(out, fonts[i]);
        out += ";}";
    }
    out += "}\r\n{\\colortbl ;";
    for (const std::uint32_t c : colors)
        out += "\\red" + std::to_string(c >> 16 & 0xFF) + "\\green" + std::to_string(c >> 8 & 0xFF) + "\\blue" +
               std::to_string(c & 0xFF) + ";";
    out += "}\r\n\\uc1\\pard ";
    for (const TRtfRun& run : document.Runs) {
        const TRtfCharFormat& f = run.Format;
        out += '{';
        const std::size_t groupStart = out.size();
        if (!f.FontName.empty()) out += "\\f" + std::to_string(fontNumbers.at(f.FontName.View()));
        if (f.HalfPoints > 0) out += "\\fs" + std::to_string(f.HalfPoints);
        if (f.HasColor) out += "\\cf" + std::to_string(colorNumbers.at(f.Color));
        if (f.Bold) out += "\\b";
        if (f.Italic) out += "\\i";
        if (f.Underline) out += "\\ul";
        if (f.StrikeOut) out += "\\strike";
        if (out.size() > groupStart) out += ' ';  // ends the last control word
        AppendText(out, run.Text);
        out += '}';
    }
    out += "\\par\r\n}\r\n";
    return out;
}

}  // namespace xavo
