// A file's bytes, in its own encoding, turned into the Shift-JIS bytes the search engine
// reads, block by block, with the file's own lines: every LF, CR LF and lone CR stays a line
// end of the same kind, and nothing else becomes one.
//
// Characters keep their Shift-JIS code (duplicate codes fold onto CP932's preferred one). A
// character Shift-JIS cannot hold, and each ill-formed sequence, becomes the one reserved
// code 0x817F (bytes 0x81 0x7F): a lead byte with a byte outside the trail range, so no
// character of a pattern typed as text encodes to it, while the engine reads it as one
// double-byte code below its reserved codes, which "." matches as one character.
// Entry point: TSjisTranscoder::Transcode; TSourceLineFinder maps a line number back.
#pragma once

#include "Encoding.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace xavo {

inline constexpr std::uint16_t kUnmappableCode = 0x817F;
inline constexpr char kUnmappableLead = '\x81';
inline constexpr char kUnmappableTrail = '\x7F';

// The least room Transcode needs into a caller's buffer.
inline constexpr std::size_t kMinTranscodeRoom = 16;

class TSjisTranscoder {
public:
    explicit TSjisTranscoder(TFileEncoding encoding);

    // Appends to Out the Shift-JIS bytes for the next Block of the file. A sequence cut by
    // the end of Block is held back and completed by the next call; Last says Block ends
    // the file (what is held then becomes the reserved code). A byte-order mark at the
    // start of the file is dropped when the encoding has Bom. Shift-JIS passes unchanged.
    void Transcode(std::string_view block, bool last, std::string& out);

    // As above, written at Out (which is advanced) and stopping before OutEnd: returns how
    // many bytes of Block were taken (a sequence cut by its end is taken and held). What
    // was not taken must come first in the next call. Needs kMinTranscodeRoom.
    std::size_t Transcode(std::string_view block, bool last, char*& out, char* outEnd);

    // The room the string form reserves for a block: it never stops for want of room.
    std::size_t Room(std::size_t blockSize) const;

    // Characters (and ill-formed sequences) written as the reserved code so far.
    std::uint64_t Unmappable() const { return FUnmappable; }

    // Characters written so far that read back otherwise when the output is decoded as
    // Shift-JIS: the reserved code, and a code several characters share (U+301C and U+FF5E
    // both become the wave dash 0x8160, which reads as U+FF5E). While there are none, the
    // decoded output is the file's own text.
    std::uint64_t Inexact() const { return FUnmappable + FFolded; }
    // Where each of them is written from now on is appended to Log (null: not noted): its
    // offset from the start of its call's output, and from the start of the call's block
    // (0 for a character begun in an earlier block).
    struct TInexactNote {
        std::size_t Out;
        std::size_t In;
    };
    void NoteInexactIn(std::vector<TInexactNote>* log) { FInexactLog = log; }

    // Back to the start of a file in the same encoding.
    void Reset();

private:
    struct TRunEnd {
        const unsigned char* In;  // where the loop stopped
        char* Out;                // the end of what it wrote
    };
    TRunEnd Run(const unsigned char* p, const unsigned char* end, const unsigned char* stop, bool last, char* w,
                char* outEnd);
    // At: where the character begins in the input.
    [[gnu::cold]] char* PutRare(std::uint16_t entry, char* w, const unsigned char* at);
    [[gnu::cold]] char* PutUnmappable(char* w, const unsigned char* at);
    void Note(const char* w, const unsigned char* at);

    TFileEncoding FEncoding;
    std::string FCarry;       // bytes of a sequence cut by the end of the last block
    bool FAtStart = true;     // the byte-order mark is still to be looked for
    std::uint8_t FJisSet = 0; // ISO-2022-JP: the set in force
    std::uint64_t FUnmappable = 0;
    std::uint64_t FFolded = 0;
    std::vector<TInexactNote>* FInexactLog = nullptr;
    // For the log: the output's start in this call, and the block's (null while the held
    // bytes of an earlier block are converted).
    char* FCallStart = nullptr;
    const unsigned char* FCallBlock = nullptr;
};

// The lines of a file in its own encoding, found by number, so that a result line found in
// the transcoded text is shown from the file's own bytes. Lines end as for the transcoder
// (in UTF-16, at the units LF and CR). Lines must be asked for in ascending order; the file
// is read once, forward, through Read (which fills a buffer and returns the bytes read, 0 at
// the end, and may throw). Memory follows the longest line. (A Shift-JIS file needs none of
// this: the engine's lines are its own bytes, and there a lead byte before a line end takes
// it as its partner, which this finder does not do.)
class TSourceLineFinder {
public:
    using TReader = std::function<std::size_t(char* buffer, std::size_t size)>;
    TSourceLineFinder(TFileEncoding encoding, TReader read, std::size_t blockSize = 65536);

    // Line LineNo (from 1): its bytes without the line end, and its text (decoded
    // losslessly; in ISO-2022-JP from the set in force where the line starts). False when
    // the file has fewer lines or LineNo is below a line already passed.
    bool Find(std::int64_t lineNo, std::string& bytes, std::u16string& text);

private:
    bool Fill();
    std::size_t UnitSize() const;
    bool IsLineEnd(std::size_t pos, std::size_t& length);
    void Advance(std::size_t to);

    TFileEncoding FEncoding;
    TReader FRead;
    std::size_t FBlockSize;
    std::string FBuffer;      // the file from FBufferStart on
    std::size_t FPos = 0;     // start of line FLineNo in FBuffer
    std::int64_t FLineNo = 1;
    bool FEnd = false;
    bool FAtStart = true;
    std::uint8_t FJisSet = 0; // the set in force at FPos
};

}  // namespace xavo
