// Characters of Shift-JIS (CP932) patterns and the token scanner.
//
// A character is one 16-bit code: a single byte as itself, a lead byte (0x81-0x9F,
// 0xE0-0xFC) and its trail byte as lead * 256 + trail; the two bytes are never split.
// Positions in a pattern are 1-based byte indexes. Every pattern error is an
// ERegExpParser carrying its Japanese message (UTF-8) and the byte position.
// Entry point: TREScanner::GetToken, used by the parser and the preprocessor.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace xavo {

using TCharCode = std::uint16_t;

// Codes above every real character, reserved by the engine.
inline constexpr TCharCode kEmptyCode = 0xFFFF;     // empty NFA transition
inline constexpr TCharCode kLineTailMark = 0xFFFE;  // "$" of the plain component
inline constexpr TCharCode kLineHeadMark = 0xFFFD;  // "^" of the plain component
inline constexpr TCharCode kMaxDotCode = 0xFCFC;    // highest code that "." matches

// Messages of pattern errors, exactly as the user sees them.
namespace RegExpMessage {
inline constexpr const char* kBadDoubleByte = "不正な２バイト文字コードです。";
inline constexpr const char* kNeedCharAfterBackslash = "\"\\\"の次には文字が必要です。";
inline constexpr const char* kBadHexCode = "不正な１６進数コード表記です。";
inline constexpr const char* kBadOctalCode = "不正な８進数コード表記です。";
inline constexpr const char* kNeedRightBracket = "右ブラケット\"]\"が必要です";
inline constexpr const char* kBadCharRange = "不正なキャラクタ範囲です";
inline constexpr const char* kExtraChars = "正規表現に余分な文字があります";
inline constexpr const char* kNeedRightParen = "右(閉じ)括弧が必要です";
inline constexpr const char* kNeedOperand = "普通の文字、または左括弧\"(\"が必要です";
inline constexpr const char* kBadCharClass = "不正なキャラクタクラス指定です。";
inline constexpr const char* kTooComplex = "正規表現が複雑すぎます";
}  // namespace RegExpMessage

// A malformed pattern. Position is the 1-based byte position where the error was found
// (0 for limits that have no position); kept 16 bits wide as callers expect.
class ERegExpParser : public std::runtime_error {
public:
    ERegExpParser(const std::string& msg, std::uint16_t position)
        : std::runtime_error(msg), Position(position) {}
    std::uint16_t Position;
};

// True for the lead bytes of CP932.
constexpr bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// True for the codes that text can be read as: a byte that is not a lead byte, or a lead
// byte with any trail byte. Other codes (such as \x4161 or a lone \x82) match no text.
constexpr bool IsTextCode(TCharCode code) {
    return code >> 8 == 0 ? !IsLeadByte(static_cast<unsigned char>(code)) : IsLeadByte(static_cast<unsigned char>(code >> 8));
}

// The character at Pos, advancing Pos past it; 0 (Pos unchanged) when Pos is outside S.
// Raises ERegExpParser when S ends with a lone lead byte at Pos.
TCharCode NextChar(const std::string& s, int& pos);

// Moves Pos back over the character before it (nothing at 1 or beyond the end + 1).
void StepBack(const std::string& s, int& pos);

int HexDigitValue(TCharCode c);  // -1 for a non-digit
int OctDigitValue(TCharCode c);  // -1 for a non-digit

// The character meant by the text after a backslash; Pos is just after the backslash.
TCharCode ReadEscape(const std::string& s, int& pos);
TCharCode ReadHexEscape(const std::string& s, int& pos);    // one to four hex digits
TCharCode ReadOctalEscape(const std::string& s, int& pos);  // one to six octal digits, <= 0xFFFF

// The one or two bytes of a code (two when its high byte is a lead byte).
std::string CodeToStr(TCharCode code);

// S with a backslash before each of ^ ( | ) + * ? . [ ] $ \ .
std::string EscapeMetaChars(const std::string& s);

enum TREToken : std::uint8_t {
    retkChar,
    retkCharRange,
    retkUnion,
    retkLPar,
    retkRPar,
    retkStar,
    retkPlus,
    retkQMark,
    retkLBra,
    retkLBraNegative,
    retkRBra,
    retkDot,
    retkLHead,
    retkLTail,
    retkEnd,
};

// Cuts a pattern into tokens. After each GetToken the public fields describe the token;
// FPos is the position of the next unread byte. After an exception the scanner is
// undefined until the next SetText.
class TREScanner {
public:
    explicit TREScanner(const std::string& text = {}) { SetText(text); }
    virtual ~TREScanner() = default;

    void SetText(const std::string& text);
    TREToken GetToken();

    std::string FSourceText;
    int FPos = 1;
    TREToken FToken = retkEnd;
    TCharCode FCode = 0;
    TCharCode FCodeTo = 0;
    bool FInClass = false;

protected:
    virtual TREToken ScanToken();
    virtual TREToken ScanClassToken();
};

}  // namespace xavo
