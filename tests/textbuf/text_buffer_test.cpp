// The document core against plain byte strings: the view text (every break as CR LF) is
// the model; lines, positions, extraction, edits and undo must agree with it.
#include "TextBuffer.h"

#include "SjisCodec.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace xavo {
namespace {

TTextBuffer FromBytes(std::string bytes) { return TTextBuffer(TFileBytes(std::move(bytes))); }

// Every CR LF, lone CR and lone LF as CR LF: the text the view positions count in.
std::string ViewOf(const std::string& raw) {
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\r' && raw[i] != '\n') {
            out += raw[i];
            continue;
        }
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
        out += "\r\n";
    }
    return out;
}

// Line starts of a view text, found the plain way.
std::vector<std::int64_t> LineStarts(const std::string& view) {
    std::vector<std::int64_t> starts{0};
    for (std::size_t at = view.find("\r\n"); at != std::string::npos; at = view.find("\r\n", at + 2))
        starts.push_back(static_cast<std::int64_t>(at + 2));
    return starts;
}

// Every line and position query of Buffer against the model View; Sample > 1 checks
// every Sample-th position only (long texts).
void ExpectMatchesModel(const TTextBuffer& buffer, const std::string& view, std::size_t sample = 1) {
    const std::vector<std::int64_t> starts = LineStarts(view);
    const auto length = static_cast<std::int64_t>(view.size());
    ASSERT_EQ(buffer.Length(), length);
    ASSERT_EQ(buffer.LineCount(), static_cast<std::int64_t>(starts.size()));
    for (std::size_t line = 0; line < starts.size(); line += sample)
        ASSERT_EQ(buffer.LineIndex(static_cast<std::int64_t>(line)), starts[line]) << "line " << line;
    EXPECT_EQ(buffer.LineIndex(static_cast<std::int64_t>(starts.size())), -1);
    EXPECT_EQ(buffer.LineIndex(-1), -1);
    std::size_t line = 0;
    for (std::int64_t p = 0; p <= length; ++p) {
        while (line + 1 < starts.size() && starts[line + 1] <= p) ++line;
        if (static_cast<std::size_t>(p) % sample != 0 && p != length) continue;
        const std::int64_t end = line + 1 < starts.size() ? starts[line + 1] - 2 : length;
        ASSERT_EQ(buffer.LineFromChar(p), static_cast<std::int64_t>(line)) << "position " << p;
        ASSERT_EQ(buffer.LineLength(p), end - starts[line]) << "position " << p;
    }
    const std::int64_t first = static_cast<std::int64_t>(starts.size()) / 3;
    const std::vector<std::string> lines = buffer.LineTexts(first, 7);
    ASSERT_EQ(lines.size(), std::min<std::size_t>(7, starts.size() - static_cast<std::size_t>(first)));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t n = static_cast<std::size_t>(first) + i;
        const std::int64_t end = n + 1 < starts.size() ? starts[n + 1] - 2 : length;
        ASSERT_EQ(lines[i], view.substr(static_cast<std::size_t>(starts[n]), static_cast<std::size_t>(end - starts[n])));
    }
    EXPECT_EQ(buffer.LineFromChar(-5), 0);
    EXPECT_EQ(buffer.LineFromChar(length + 5), static_cast<std::int64_t>(starts.size()) - 1);
}

TEST(TextBufferLines, EveryKindOfBreak) {
    const struct {
        std::string Raw;
        std::vector<std::int64_t> LineBytes;  // each line's length without its break
    } cases[] = {
        {"", {0}},
        {"abc", {3}},
        {"a\r\nbb\r\n", {1, 2, 0}},
        {"a\nbb\n", {1, 2, 0}},
        {"a\rbb\r", {1, 2, 0}},
        {"a\r\nb\nc\rd", {1, 1, 1, 1}},         // mixed, no final break
        {"\n\r\r\n\r", {0, 0, 0, 0, 0}},        // LF, CR, CR LF, CR
        {"\r\r\n\n", {0, 0, 0, 0}},             // CR, CR LF, LF
        {"x\n\ry", {1, 0, 1}},                  // LF then CR is two breaks
        {"\x82\xa0\r\n\x83\x41", {2, 2}},       // double-byte characters count two bytes
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.Raw));
        const TTextBuffer buffer = FromBytes(c.Raw);
        const std::string view = ViewOf(c.Raw);
        EXPECT_EQ(buffer.Text(), view);
        EXPECT_EQ(buffer.RawText(), c.Raw);
        ASSERT_EQ(buffer.LineCount(), static_cast<std::int64_t>(c.LineBytes.size()));
        for (std::size_t line = 0; line < c.LineBytes.size(); ++line)
            EXPECT_EQ(buffer.LineLength(buffer.LineIndex(static_cast<std::int64_t>(line))), c.LineBytes[line]);
        ExpectMatchesModel(buffer, view);
    }
}

TEST(TextBufferLines, LongTextsAcrossIndexChunks) {
    // Lines of every length around the index's chunk size, a CR LF straddling chunk
    // boundaries, and one line of several megabytes.
    std::mt19937 random(5);
    std::string raw;
    const char* const breaks[] = {"\r\n", "\n", "\r"};
    while (raw.size() < 3 * TBreakIndex::kChunk) {
        raw.append(random() % 3000, 'a');
        raw += breaks[random() % 3];
    }
    raw.append(TBreakIndex::kChunk - 1 - raw.size() % TBreakIndex::kChunk, 'b');
    raw += "\r\n";
    raw.append(5u << 20, 'L');
    raw += "\ntail";
    const TTextBuffer buffer = FromBytes(raw);
    const std::string view = ViewOf(raw);
    EXPECT_EQ(buffer.Text(), view);
    ExpectMatchesModel(buffer, view, 997);
    const std::int64_t longLine = buffer.LineCount() - 2;
    EXPECT_EQ(buffer.LineLength(buffer.LineIndex(longLine) + 123456), 5 << 20);
    EXPECT_EQ(buffer.Text(buffer.LineIndex(longLine) + (4 << 20), 3), "LLL");
    EXPECT_EQ(buffer.LineText(longLine + 1), "tail");
}

TEST(TextBufferEdits, EmptyDocument) {
    TTextBuffer buffer;
    ExpectMatchesModel(buffer, "");
    EXPECT_EQ(buffer.Text(0, 10), "");
    EXPECT_FALSE(buffer.CanUndo());
    buffer.Erase(0, 5);
    EXPECT_FALSE(buffer.CanUndo());
    buffer.Insert(7, "ab\ncd");
    EXPECT_EQ(buffer.RawText(), "ab\r\ncd");  // no break in the file: CR LF
    ExpectMatchesModel(buffer, "ab\r\ncd");
    buffer.Undo();
    ExpectMatchesModel(buffer, "");
    EXPECT_FALSE(buffer.CanUndo());
}

TEST(TextBufferEdits, NewBreaksTakeTheFilesStyleAndLinesSurviveJoins) {
    const struct {
        std::string Raw;
        std::int64_t Position, Count;
        std::string Bytes;
        std::string RawAfter;
    } cases[] = {
        {"a\nb", 1, 0, "x\r\ny\rz", "ax\ny\nz\nb"},
        {"a\rb", 3, 0, "\r\n", "a\r\rb"},
        {"a\r\nb", 0, 0, "\n", "\r\na\r\nb"},
        // A lone CR met by an inserted LF, and a lone CR and LF brought together by an
        // erase: each stays a line of its own.
        {"a\nb\rc", 6, 0, "\n", "a\nb\r\n\nc"},
        {"a\nb\rx\nc", 6, 1, "", "a\nb\r\n\nc"},
        // Half a break covers the whole break; an insertion there goes before it.
        {"a\r\nb", 2, 0, "x", "ax\r\nb"},
        {"a\nb", 2, 1, "", "ab"},
        {"a\nb", 0, 2, "", "b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.Raw) + " at " + std::to_string(c.Position));
        TTextBuffer buffer = FromBytes(c.Raw);
        buffer.Replace(c.Position, c.Count, c.Bytes);
        EXPECT_EQ(buffer.RawText(), c.RawAfter);
        ExpectMatchesModel(buffer, ViewOf(c.RawAfter));
        EXPECT_TRUE(buffer.Modified());
        buffer.Undo();
        EXPECT_EQ(buffer.RawText(), c.Raw);
    }
}

// The model's edit: the same boundary rule on a view text.
void ModelReplace(std::string& view, std::int64_t position, std::int64_t count, const std::string& bytes) {
    const auto length = static_cast<std::int64_t>(view.size());
    position = std::clamp<std::int64_t>(position, 0, length);
    count = std::clamp<std::int64_t>(count, 0, length - position);
    const auto inside = [&](std::int64_t p) {
        return p > 0 && p < length && view[static_cast<std::size_t>(p - 1)] == '\r' && view[static_cast<std::size_t>(p)] == '\n';
    };
    std::int64_t end = position + count;
    if (inside(position)) --position;
    if (count == 0) end = position;
    else if (inside(end)) ++end;
    view.replace(static_cast<std::size_t>(position), static_cast<std::size_t>(end - position), ViewOf(bytes));
}

std::string RandomBytes(std::mt19937& random, std::size_t size) {
    static const char alphabet[] = {'a', 'b', 'c', '\r', '\n', '\r', '\n', '\x82', '\xa0', ' '};
    std::string text(size, ' ');
    for (char& c : text) c = alphabet[random() % sizeof alphabet];
    return text;
}

// Ascending ranges of View that neither touch each other nor start or end inside a CR LF.
std::vector<TViewRange> RandomRanges(std::mt19937& random, const std::string& view) {
    std::vector<TViewRange> ranges;
    const auto inside = [&](std::size_t p) { return p > 0 && p < view.size() && view[p - 1] == '\r' && view[p] == '\n'; };
    for (std::size_t at = random() % 5; at < view.size(); at += 1 + random() % 9) {
        const std::size_t end = std::min(view.size(), at + random() % 4);
        if (inside(at) || inside(end)) continue;
        ranges.push_back({static_cast<std::int64_t>(at), static_cast<std::int64_t>(end - at)});
        at = end;
    }
    return ranges;
}

TEST(TextBufferEdits, RandomEditsAndUndoAgreeWithAString) {
    std::mt19937 random(17);
    for (int round = 0; round < 60; ++round) {
        const std::size_t initial = round % 10 == 9 ? 40000 + random() % 20000 : random() % 200;
        const std::string raw = RandomBytes(random, initial);
        TTextBuffer buffer = FromBytes(raw);
        std::string view = ViewOf(raw);
        std::vector<std::string> history;
        // The save point: the history's depth there, or npos once no undo can reach it.
        std::size_t saved = 0;
        const auto edited = [&] {
            if (history.size() < saved) saved = std::string::npos;
        };
        for (int step = 0; step < 80; ++step) {
            const auto length = static_cast<std::int64_t>(view.size());
            const unsigned kind = random() % 12;
            if (kind == 0 && !history.empty()) {
                buffer.Undo();
                view = history.back();
                history.pop_back();
            } else if (kind == 10) {
                buffer.SetModified(false);
                saved = history.size();
            } else if (kind == 11) {
                // Every range replaced in one pass, as a sequence of edits from the last.
                const std::vector<TViewRange> ranges = RandomRanges(random, view);
                if (ranges.empty()) continue;
                const std::u16string text = random() % 3 == 0 ? u"" : random() % 2 ? u"X\nあ" : u"\r";
                edited();
                history.push_back(view);
                for (auto it = ranges.rbegin(); it != ranges.rend(); ++it) ModelReplace(view, it->Start, it->Length, EncodeSjis(text));
                const std::int64_t end = buffer.ReplaceRanges(ranges, text);
                std::int64_t shift = 0;
                for (std::size_t i = 0; i + 1 < ranges.size(); ++i)
                    shift += static_cast<std::int64_t>(ViewOf(EncodeSjis(text)).size()) - ranges[i].Length;
                ASSERT_EQ(end, ranges.back().Start + shift + static_cast<std::int64_t>(ViewOf(EncodeSjis(text)).size()));
            } else if (kind == 1) {
                // Several edits undone as one.
                edited();
                history.push_back(view);
                buffer.BeginUndoGroup();
                for (int i = 0; i < 4; ++i) {
                    const std::int64_t at = static_cast<std::int64_t>(random() % (view.size() + 1));
                    const std::string bytes = RandomBytes(random, 1 + random() % 3);
                    buffer.Replace(at, 2, bytes);
                    ModelReplace(view, at, 2, bytes);
                }
                buffer.EndUndoGroup();
            } else {
                const std::int64_t at = static_cast<std::int64_t>(random() % (length + 3)) - 1;
                const std::int64_t count = static_cast<std::int64_t>(random() % 8);
                const std::string bytes = RandomBytes(random, random() % 6);
                const std::int64_t from = std::clamp<std::int64_t>(at, 0, length);
                if (std::min(count, length - from) > 0 || !bytes.empty()) {
                    edited();
                    history.push_back(view);
                }
                ModelReplace(view, at, count, bytes);
                buffer.Replace(at, count, bytes);
            }
            ASSERT_EQ(buffer.Length(), static_cast<std::int64_t>(view.size())) << "round " << round << " step " << step;
            ASSERT_EQ(buffer.CanUndo(), !history.empty());
            if (view.size() < 1000 || step % 16 == 0) {
                ASSERT_EQ(buffer.Text(), view) << "round " << round << " step " << step;
            }
            ASSERT_EQ(buffer.Modified(), saved != history.size()) << "round " << round << " step " << step;
            const std::int64_t from = static_cast<std::int64_t>(random() % (view.size() + 1));
            const std::int64_t count = static_cast<std::int64_t>(random() % 40);
            ASSERT_EQ(buffer.Text(from, count), view.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(count)));
        }
        ASSERT_EQ(buffer.Text(), view);
        ASSERT_EQ(ViewOf(buffer.RawText()), view);
        ExpectMatchesModel(buffer, view, view.size() > 1000 ? 37 : 1);
        while (!history.empty()) {
            buffer.Undo();
            view = history.back();
            history.pop_back();
        }
        ASSERT_EQ(buffer.RawText(), raw);  // undone to the last byte
        ASSERT_FALSE(buffer.CanUndo());
    }
}

TEST(TextBufferForeign, UnitsShiftJisLacksAreHeldAndReadAsThemselves) {
    // A converted text: ¥, the wave dash U+301C (two bytes wide, as its Shift-JIS look-alike)
    // and an emoji's halves as '?'.
    TTextBuffer buffer(ToSjisText(u"a¥\r\n〜😀b"));
    EXPECT_TRUE(buffer.HasForeign());
    EXPECT_EQ(buffer.Text(), "a?\r\n????b");
    EXPECT_EQ(buffer.Decode(0, buffer.Length()), u"a¥\r\n〜😀b");
    EXPECT_EQ(buffer.Decode(4, 4), u"〜😀");
    EXPECT_FALSE(buffer.IsForeign(0));
    EXPECT_EQ(buffer.ForeignUnit(1), u'¥');
    EXPECT_TRUE(buffer.IsForeign(4));
    EXPECT_FALSE(buffer.IsForeign(2));  // a break
    EXPECT_EQ(buffer.ForeignUnit(7), u"😀"[1]);
    // Edits keep them, and carry new ones; undo takes them back.
    buffer.Replace(1, 0, std::u16string_view(u"€x"));
    buffer.Replace(buffer.Length(), 0, std::string_view("?"));
    EXPECT_EQ(buffer.Text(), "a?x?\r\n????b?");
    EXPECT_EQ(buffer.Decode(0, buffer.Length()), u"a€x¥\r\n〜😀b?");
    EXPECT_FALSE(buffer.IsForeign(buffer.Length() - 1));  // a question mark typed is one
    std::u16string raw;
    buffer.ForEachRawSpan([&](std::string_view span, const TForeignUnits& foreign) {
        raw += DecodeSjisText(span, foreign);
        return true;
    });
    EXPECT_EQ(raw, u"a€x¥\r\n〜😀b?");
    EXPECT_EQ(buffer.CountCharacters(0, buffer.Length()), 9);  // the break and the emoji one each
    EXPECT_EQ(buffer.CountCharacters(6, 3), 2);
    buffer.Undo();
    buffer.Undo();
    EXPECT_EQ(buffer.Decode(0, buffer.Length()), u"a¥\r\n〜😀b");
}

TEST(TextBufferEdits, UndoingBackToTheSavePointIsUnmodified) {
    TTextBuffer buffer = FromBytes("abc");
    EXPECT_FALSE(buffer.Modified());
    buffer.Insert(0, "x");
    buffer.Insert(0, "y");
    EXPECT_TRUE(buffer.Modified());
    EXPECT_EQ(buffer.Undo(), 0);  // where the caret goes: after what was put back
    EXPECT_EQ(buffer.Undo(), 0);
    EXPECT_FALSE(buffer.Modified());
    buffer.Insert(0, "z");
    buffer.SetModified(false);
    buffer.Replace(1, 1, "\n\n");
    EXPECT_EQ(buffer.Undo(), 2);  // "a" put back after "z"
    buffer.Undo();
    EXPECT_TRUE(buffer.Modified());  // below the save point
    buffer.Insert(0, "w");
    EXPECT_TRUE(buffer.Modified());  // the saved text cannot come back
    buffer.SetModified(true);
    buffer.Undo();
    EXPECT_TRUE(buffer.Modified());
}

TEST(TextBufferEdits, ReplacingRangesCostsOnePassAndOneUndo) {
    // 100,000 ranges of a text of one piece: the pieces are built once, not split one by one.
    std::string raw;
    for (int i = 0; i < 100000; ++i) raw += "foo bar\n";
    TTextBuffer buffer = FromBytes(raw);
    std::vector<TViewRange> ranges;
    for (std::int64_t i = 0; i < 100000; ++i) ranges.push_back({i * 9, 3});
    EXPECT_EQ(buffer.ReplaceRanges(ranges, u"\u307B\u3052"), 99999 * 10 + 4);
    EXPECT_EQ(buffer.LineText(99999), EncodeSjis(u"ほげ bar"));
    EXPECT_EQ(buffer.LineCount(), 100001);
    buffer.Undo();
    EXPECT_EQ(buffer.RawText(), raw);
    EXPECT_FALSE(buffer.CanUndo());
    EXPECT_EQ(buffer.ReplaceRanges({}, u"x"), -1);
}

TEST(TextBufferEdits, AFileThatGrewIsAppendedAsOriginalText) {
    TTextBuffer buffer = FromBytes("one\ntwo\n");
    buffer.Insert(0, ">");
    buffer.SetModified(false);
    buffer.AppendOriginal(TFileBytes(std::string("three\nfour")));
    buffer.AppendOriginal(ToSjisText(u"¥"));
    EXPECT_EQ(buffer.RawText(), ">one\ntwo\nthree\nfour?");
    EXPECT_EQ(buffer.LineText(3), "four?");
    EXPECT_EQ(buffer.Decode(buffer.LineIndex(3), 5), u"four¥");
    EXPECT_FALSE(buffer.Modified());
    buffer.Undo();
    EXPECT_EQ(buffer.RawText(), "one\ntwo\nthree\nfour?");
}

TEST(FileBytes, ReadMappedAndChanged) {
    test::TTempDir dir;
    std::string big(TFileBytes::kReadLimit + 100, 'x');
    big[12345] = '\n';
    for (const std::string& bytes : {std::string("a\r\nb"), big}) {
        const std::string path = dir.File("f.txt", bytes);
        const TFileBytes file = TFileBytes::Open(path);
        EXPECT_EQ(file.Mapped(), bytes.size() > TFileBytes::kReadLimit);
        EXPECT_EQ(file.View(), bytes);
        EXPECT_FALSE(file.ChangedOnDisk());
        TFileBytes moved = TFileBytes::Open(path);
        const TTextBuffer buffer{std::move(moved)};
        EXPECT_EQ(buffer.RawText(), bytes);
        dir.File("f.txt", bytes + "more");
        EXPECT_TRUE(file.ChangedOnDisk());
    }
    EXPECT_THROW(TFileBytes::Open(dir.Path("missing.txt")), std::system_error);
    // What is not a regular file is refused at once, a FIFO nobody writes to included.
    EXPECT_THROW(TFileBytes::Open(dir.Path("")), std::system_error);
    ASSERT_EQ(::mkfifo(dir.Path("fifo").c_str(), 0600), 0);
    EXPECT_THROW(TFileBytes::Open(dir.Path("fifo")), std::system_error);
}

TEST(FileBytes, ATruncatedMappedFileReadsAsZerosInsteadOfFaulting) {
    test::TTempDir dir;
    const std::string path = dir.File("f.txt", std::string(TFileBytes::kReadLimit * 2, 'x'));
    const TFileBytes file = TFileBytes::Open(path);
    ASSERT_TRUE(file.Mapped());
    ASSERT_EQ(::truncate(path.c_str(), 100), 0);
    const std::uint64_t last = file.Size() - 1;
    EXPECT_EQ(file.Data()[last], '\0');
    EXPECT_EQ(file.Data()[50], 'x');
    EXPECT_TRUE(file.LostBytes());
    EXPECT_TRUE(file.ChangedOnDisk());
}

}  // namespace
}  // namespace xavo
