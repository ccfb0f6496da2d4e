// Character helpers and the token scanner of patterns.
#include "Scanner.h"

namespace xavo {

namespace {

unsigned char ByteAt(const std::string& s, int pos) { return static_cast<unsigned char>(s[pos - 1]); }

[[noreturn]] void Fail(const char* msg, int pos) {
    throw ERegExpParser(msg, static_cast<std::uint16_t>(pos));
}

constexpr TCharCode Ascii(char c) { return static_cast<TCharCode>(static_cast<unsigned char>(c)); }

}  // namespace

TCharCode NextChar(const std::string& s, int& pos) {
    const int len = static_cast<int>(s.size());
    if (pos < 1 || pos > len) return 0;
    const unsigned char b = ByteAt(s, pos);
    if (IsLeadByte(b)) {
        if (pos == len) Fail(RegExpMessage::kBadDoubleByte, pos);
        const TCharCode code = static_cast<TCharCode>(b << 8 | ByteAt(s, pos + 1));
        pos += 2;
        return code;
    }
    pos += 1;
    return b;
}

void StepBack(const std::string& s, int& pos) {
    const int len = static_cast<int>(s.size());
    if (pos <= 1 || pos > len + 1) return;
    if (pos >= 3) {
        // Whether the byte at pos - 2 is a lead byte depends on everything before it.
        int p = 1;
        while (p < pos - 2) p += IsLeadByte(ByteAt(s, p)) ? 2 : 1;
        if (p == pos - 2 && IsLeadByte(ByteAt(s, p))) {
            pos -= 2;
            return;
        }
    }
    pos -= 1;
}

int HexDigitValue(TCharCode c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

int OctDigitValue(TCharCode c) { return (c >= '0' && c <= '7') ? c - '0' : -1; }

TCharCode ReadHexEscape(const std::string& s, int& pos) {
    unsigned value = 0;
    int count = 0;
    int before = pos;  // the start of the character after the digits
    for (;;) {
        before = pos;
        const TCharCode ch = NextChar(s, pos);
        if (ch == 0 || HexDigitValue(ch) < 0 || count == 4) break;
        value = (value * 16 + static_cast<unsigned>(HexDigitValue(ch))) & 0xFFFF;
        ++count;
    }
    if (count == 0) Fail(RegExpMessage::kBadHexCode, pos);
    pos = before;
    return static_cast<TCharCode>(value);
}

TCharCode ReadOctalEscape(const std::string& s, int& pos) {
    unsigned value = 0;
    int count = 0;
    int before = pos;
    for (;;) {
        before = pos;
        const TCharCode ch = NextChar(s, pos);
        if (ch == 0 || OctDigitValue(ch) < 0 || count == 6) break;
        const unsigned next = value * 8 + static_cast<unsigned>(OctDigitValue(ch));
        if (next > 0xFFFF) Fail(RegExpMessage::kBadOctalCode, pos);
        value = next;
        ++count;
    }
    if (count == 0) Fail(RegExpMessage::kBadOctalCode, pos);
    pos = before;
    return static_cast<TCharCode>(value);
}

TCharCode ReadEscape(const std::string& s, int& pos) {
    const int start = pos;
    const TCharCode ch = NextChar(s, pos);
    switch (ch) {
    case 0: Fail(RegExpMessage::kNeedCharAfterBackslash, pos);
    case Ascii('b'): return 0x08;
    case Ascii('r'): return 0x0D;
    case Ascii('n'): return 0x0A;
    case Ascii('t'): return 0x09;
    case Ascii('x'): return ReadHexEscape(s, pos);
    default:
        if (OctDigitValue(ch) >= 0) {
            pos = start;
            return ReadOctalEscape(s, pos);
        }
        return ch;
    }
}

std::string CodeToStr(TCharCode code) {
    const auto high = static_cast<unsigned char>(code >> 8);
    const auto low = static_cast<char>(code & 0xFF);
    if (IsLeadByte(high)) return std::string{static_cast<char>(high), low};
    return std::string(1, low);
}

std::string EscapeMetaChars(const std::string& s) {
    static constexpr std::string_view kMeta = "^(|)+*?.[]$\\";
    std::string out;
    out.reserve(s.size() * 2);
    int pos = 1;
    while (pos <= static_cast<int>(s.size())) {
        const TCharCode ch = NextChar(s, pos);
        if (ch < 0x80 && kMeta.find(static_cast<char>(ch)) != std::string_view::npos) out += '\\';
        out += CodeToStr(ch);
    }
    return out;
}

void TREScanner::SetText(const std::string& text) {
    FSourceText = text;
    FPos = 1;
    FInClass = false;
}

TREToken TREScanner::GetToken() {
    if (FInClass) {
        FToken = ScanClassToken();
        if (FToken == retkRBra) FInClass = false;
    } else {
        FToken = ScanToken();
        if (FToken == retkLBra || FToken == retkLBraNegative) FInClass = true;
    }
    return FToken;
}

TREToken TREScanner::ScanToken() {
    const TCharCode ch = NextChar(FSourceText, FPos);
    FCode = ch;
    switch (ch) {
    case 0: return retkEnd;
    case Ascii('$'): return retkLTail;
    case Ascii('('): return retkLPar;
    case Ascii(')'): return retkRPar;
    case Ascii('*'): return retkStar;
    case Ascii('+'): return retkPlus;
    case Ascii('.'): return retkDot;
    case Ascii('?'): return retkQMark;
    case Ascii('|'): return retkUnion;
    case Ascii(']'): return retkRBra;
    case Ascii('^'): return retkLHead;
    case Ascii('['): {
        const int start = FPos;
        const TCharCode next = NextChar(FSourceText, FPos);
        if (next == 0) Fail(RegExpMessage::kNeedRightBracket, FPos);
        if (next == Ascii('^')) return retkLBraNegative;
        FPos = start;
        return retkLBra;
    }
    case Ascii('\\'): FCode = ReadEscape(FSourceText, FPos); return retkChar;
    default: return retkChar;
    }
}

TREToken TREScanner::ScanClassToken() {
    TCharCode ch = NextChar(FSourceText, FPos);
    FCode = ch;
    if (ch == 0) Fail(RegExpMessage::kNeedRightBracket, FPos);
    if (ch == Ascii(']')) return retkRBra;
    if (ch == Ascii('\\')) FCode = ch = ReadEscape(FSourceText, FPos);

    // Positions are remembered, not found again by stepping back: finding the start of
    // the character before a position means walking from the pattern's start.
    const int afterMember = FPos;
    const TCharCode next = NextChar(FSourceText, FPos);
    if (next == Ascii('-')) {
        TCharCode last = NextChar(FSourceText, FPos);
        if (last == 0) Fail(RegExpMessage::kNeedRightBracket, FPos);
        if (last == Ascii(']')) {
            // "-]": the hyphen is an ordinary member and the bracket closes the class.
            FPos = afterMember;
            return retkChar;
        }
        if (last == Ascii('\\')) last = ReadEscape(FSourceText, FPos);
        FCodeTo = last;
        if (last < ch) Fail(RegExpMessage::kBadCharRange, FPos);
        return retkCharRange;
    }
    if (next == 0) Fail(RegExpMessage::kNeedRightBracket, FPos);
    FPos = afterMember;
    return retkChar;
}

}  // namespace xavo
