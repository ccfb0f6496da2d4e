// The INI file object: the read rules, editing a hand-written file in place, line ends,
// refused writes, atomic replacement, the cache and batches.
#include "IniFile.h"

#include "FileSizeLimit.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

namespace xavo {
namespace {

using test::ReadWhole;
using test::TFileSizeLimit;
using test::TTempDir;
using test::WriteWhole;

// A file as a user writes it by hand: comments, blank lines, odd spacing, keys and
// sections in another case, quotes, a section given twice, Shift-JIS bytes.
const std::string kClassic =
    "; Xavoline settings\r\n"
    "\r\n"
    "[Option]\r\n"
    "Vbar = 300 \r\n"
    "  hbar=\t161\r\n"
    "GrepOpt = \"-1+ -c -E\"\r\n"
    "Quoted='single'\r\n"
    "Mismatch=\"abc'\r\n"
    "OneQuote=\"\r\n"
    "Inner=\" spaced \"\r\n"
    "Empty=\r\n"
    "a line without an equals sign\r\n"
    "; Commented=1\r\n"
    "Face=\x82\x6c\x82\x72 \x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e\r\n"
    "\x83\x41=katakana a\r\n"
    "\r\n"
    "[ WindowPos ]\r\n"
    "Main.X=10\r\n"
    "[option]\r\n"
    "Vbar=999\r\n";

TEST(IniFileRead, ClassicLayoutIsReadByTheRules) {
    TTempDir dir;
    WriteWhole(dir.Path("a.ini"), kClassic);
    const TIniFile ini(dir.Path("a.ini"));
    const struct {
        const char* section;
        const char* key;
        std::string expected;
    } cases[] = {
        {"option", "VBAR", "300"},               // case ignored; blanks trimmed; first section wins
        {"OPTION", "Hbar", "161"},               // leading blanks and a tab
        {"Option", "GrepOpt", "-1+ -c -E"},      // double quotes dropped
        {"Option", "Quoted", "single"},          // single quotes dropped
        {"Option", "Mismatch", "\"abc'"},        // marks that do not match stay
        {"Option", "OneQuote", "\""},            // too short to strip
        {"Option", "Inner", " spaced "},         // blanks inside the quotes stay
        {"Option", "Empty", ""},                 // present but empty: not the default
        {"Option", "a line without an equals sign", "<def>"},
        {"Option", "Commented", "<def>"},
        {"Option", "Face", "\x82\x6c\x82\x72 \x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e"},
        {"Option", "\x83\x41", "katakana a"},
        {"Option", "\x83\x61", "<def>"},         // a trail byte is not a letter to fold
        {"windowpos", "main.x", "10"},           // blanks inside the brackets
        {"Missing", "Vbar", "<def>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ini.ReadString(c.section, c.key, "<def>"), c.expected) << c.section << "/" << c.key;
    }
}

TEST(IniFileRead, MissingOrUnusableFilesGiveTheDefaultUnchanged) {
    TTempDir dir;
    mkfifo(dir.Path("fifo").c_str(), 0600);  // opening it for reading must not hang
    for (const std::string& path : {dir.Path("none.ini"), dir.Root(), dir.Path("fifo"), dir.Path("none/x.ini"), std::string{}}) {
        EXPECT_EQ(TIniFile(path).ReadString("s", "k", "  de fault  "), "  de fault  ") << path;
    }
}

TEST(IniFileRead, LongValuesAreCutWithoutSplittingACharacter) {
    TTempDir dir;
    const std::string ascii(2000, 'a');
    const std::string kana = std::string(1022, 'a') + "\x82\xA0" + "tail";  // あ straddles byte 1023
    WriteWhole(dir.Path("a.ini"), "[s]\nascii=" + ascii + "\nkana=" + kana + "\nexact=" + std::string(1023, 'b') + "\n");
    const TIniFile ini(dir.Path("a.ini"));
    EXPECT_EQ(ini.ReadString("s", "ascii", ""), std::string(1023, 'a'));
    EXPECT_EQ(ini.ReadString("s", "kana", ""), std::string(1022, 'a'));
    EXPECT_EQ(ini.ReadString("s", "exact", ""), std::string(1023, 'b'));
}

TEST(IniFileRead, BinaryJunkDoesNotStopLookUpOrSurviveAsDamage) {
    TTempDir dir;
    const std::string junk = std::string("\0\xFF\x81\n[s]\r\n", 9) + "k=v\n" + std::string("\x00\x01[\x83", 4);
    WriteWhole(dir.Path("a.ini"), junk);
    TIniFile ini(dir.Path("a.ini"));
    EXPECT_EQ(ini.ReadString("S", "K", ""), "v");
    ini.WriteString("s", "k", "w");
    EXPECT_EQ(ReadWhole(dir.Path("a.ini")), std::string("\0\xFF\x81\n[s]\r\n", 9) + "k=w\n" + std::string("\x00\x01[\x83", 4));
}

TEST(IniFileRead, ByteOrderMarkDoesNotHideTheFirstSection) {
    TTempDir dir;
    WriteWhole(dir.Path("a.ini"), "\xEF\xBB\xBF[s]\r\nk=v\r\n");
    EXPECT_EQ(TIniFile(dir.Path("a.ini")).ReadString("s", "k", ""), "v");
}

TEST(IniFileWrite, OneKeyChangesOnlyItsOwnLine) {
    TTempDir dir;
    WriteWhole(dir.Path("a.ini"), kClassic);
    TIniFile ini(dir.Path("a.ini"));
    ini.WriteString("OPTION", "vbar", "301");
    std::string expected = kClassic;
    expected.replace(expected.find("Vbar = 300 "), 11, "Vbar = 301");
    EXPECT_EQ(ReadWhole(dir.Path("a.ini")), expected);
    EXPECT_EQ(ini.ReadString("option", "vbar", ""), "301");
}

TEST(IniFileWrite, NewKeysAndSectionsAreAppendedInPlace) {
    TTempDir dir;
    WriteWhole(dir.Path("a.ini"), kClassic);
    TIniFile ini(dir.Path("a.ini"));
    ini.WriteString("windowpos", "Main.Y", "20");  // section in the middle of the file
    ini.WriteString("option", "New", "n");         // first of two equal sections, before its blank line
    ini.WriteString("Font", "EditFont.Size", "9");  // a new section at the end
    std::string expected = kClassic;
    expected.insert(expected.find("[option]"), "Main.Y=20\r\n");
    expected.insert(expected.find("\r\n[ WindowPos ]"), "New=n\r\n");
    expected += "[Font]\r\nEditFont.Size=9\r\n";
    EXPECT_EQ(ReadWhole(dir.Path("a.ini")), expected);
}

TEST(IniFileWrite, LineEndsFollowTheFile) {
    TTempDir dir;
    struct {
        const char* name;
        std::string before;
        std::string after;
    } cases[] = {
        {"new", "", "[s]\r\nk=v\r\n"},
        {"lf", "[s]\na=1\n", "[s]\na=1\nk=v\n"},
        {"crlf-no-end", "[s]\r\na=1", "[s]\r\na=1\r\nk=v\r\n"},
        {"other", "[t]\nx=1", "[t]\nx=1\n[s]\nk=v\n"},
        {"mixed", "[s]\r\na=1\n\n[t]\n", "[s]\r\na=1\nk=v\r\n\n[t]\n"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.Path(c.name);
        if (!c.before.empty()) WriteWhole(path, c.before);
        TIniFile(path).WriteString("s", "k", "v");
        EXPECT_EQ(ReadWhole(path), c.after) << c.name;
    }
}

TEST(IniFileWrite, ValuesCannotBreakTheLayout) {
    TTempDir dir;
    TIniFile ini(dir.Path("a.ini"));
    ini.WriteString("s", "k", "a\r\n[evil]\r\nx=1");
    EXPECT_EQ(ini.ReadString("evil", "x", "none"), "none");
    EXPECT_EQ(ini.ReadString("s", "k", ""), "a  [evil]  x=1");
    for (const char* key : {"", "a=b", " k", "k ", "[k", ";k", "k\n"}) {
        EXPECT_THROW(ini.WriteString("s", key, "v"), std::invalid_argument) << key;
    }
    EXPECT_THROW(ini.WriteString("s\r", "k", "v"), std::invalid_argument);
    EXPECT_THROW(ini.EraseSection(""), std::invalid_argument);
}

TEST(IniFileWrite, EraseSectionRemovesEveryCopyAndNothingElse) {
    TTempDir dir;
    WriteWhole(dir.Path("a.ini"), "; head\n[Keep]\nk=1\n[Gone]\na=1\n; note\n\n[keep2]\n[GONE]\nb=2\n");
    TIniFile ini(dir.Path("a.ini"));
    ini.EraseSection("gone");
    EXPECT_EQ(ReadWhole(dir.Path("a.ini")), "; head\n[Keep]\nk=1\n[keep2]\n");
    EXPECT_EQ(ini.ReadString("Gone", "b", "none"), "none");
}

TEST(IniFileWrite, WritesThatChangeNothingLeaveTheFileAlone) {
    TTempDir dir;
    TIniFile ini(dir.Path("a.ini"));
    ini.EraseSection("s");  // missing file, missing section
    EXPECT_TRUE(dir.Entries().empty());
    ini.WriteString("s", "k", "v");
    struct stat before {};
    stat(dir.Path("a.ini").c_str(), &before);
    ini.WriteString("S", "K", "v");
    struct stat after {};
    stat(dir.Path("a.ini").c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);  // not replaced
}


// The message, the path and the file afterwards of a write expected to fail.
void ExpectRefusedWrite(TIniFile& ini, const std::string& path, const std::string& unchangedContent) {
    try {
        ini.WriteString("s", "k", std::string(200, 'x'));
        ADD_FAILURE() << "no error for " << path;
    } catch (const EIniFileError& e) {
        EXPECT_EQ(std::string(e.what()), path + " に書き込めません");
        EXPECT_EQ(e.Path, path);
        EXPECT_NE(e.ErrorCode, 0);
    }
    EXPECT_EQ(ReadWhole(path), unchangedContent);
}

TEST(IniFileWriteError, FullDiskLeavesTheOldFileAndNoTemporary) {
    TTempDir dir;
    const std::string old = "[s]\r\nk=old\r\n";
    WriteWhole(dir.Path("a.ini"), old);
    TIniFile ini(dir.Path("a.ini"));
    {
        TFileSizeLimit limit(64);
        ExpectRefusedWrite(ini, dir.Path("a.ini"), old);
    }
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"a.ini"});
    EXPECT_EQ(ini.ReadString("s", "k", ""), "old");  // the failed change is not kept in memory
}

TEST(IniFileWriteError, BadPathsAreRefused) {
    TTempDir dir;
    WriteWhole(dir.Path("plain"), "not a directory");
    mkdir(dir.Path("sub.ini").c_str(), 0700);
    mkfifo(dir.Path("fifo").c_str(), 0600);
    for (const std::string& path : {dir.Path("plain/a.ini"), dir.Path("missing/a.ini"), dir.Path("sub.ini"), dir.Path("fifo")}) {
        TIniFile ini(path);
        EXPECT_THROW(ini.WriteString("s", "k", "v"), EIniFileError) << path;
    }
    TIniFile ini(dir.Path("plain/a.ini"));
    ExpectRefusedWrite(ini, dir.Path("plain/a.ini"), "");
    EXPECT_EQ(ReadWhole(dir.Path("plain")), "not a directory");
}

TEST(IniFileWriteError, ReadOnlyDirectoryOrFileIsRefused) {
    if (!test::PermissionsBindUs()) GTEST_SKIP() << "permission bits do not bind root";
    TTempDir dir;
    const std::string old = "[s]\nk=old\n";
    mkdir(dir.Path("ro").c_str(), 0700);
    WriteWhole(dir.Path("ro/a.ini"), old);
    chmod(dir.Path("ro").c_str(), 0500);
    TIniFile inDir(dir.Path("ro/a.ini"));
    ExpectRefusedWrite(inDir, dir.Path("ro/a.ini"), old);
    chmod(dir.Path("ro").c_str(), 0700);

    WriteWhole(dir.Path("file.ini"), old);
    chmod(dir.Path("file.ini").c_str(), 0444);
    TIniFile readOnly(dir.Path("file.ini"));
    ExpectRefusedWrite(readOnly, dir.Path("file.ini"), old);
}

TEST(IniFileWriteError, UnreadableFileIsNotRewrittenFromScratch) {
    if (!test::PermissionsBindUs()) GTEST_SKIP() << "permission bits do not bind root";
    TTempDir dir;
    WriteWhole(dir.Path("a.ini"), "[s]\nk=old\nother=kept\n");
    chmod(dir.Path("a.ini").c_str(), 0200);
    TIniFile ini(dir.Path("a.ini"));
    EXPECT_EQ(ini.ReadString("s", "k", "def"), "def");
    EXPECT_THROW(ini.WriteString("s", "k", "new"), EIniFileError);
    chmod(dir.Path("a.ini").c_str(), 0600);
    EXPECT_EQ(ReadWhole(dir.Path("a.ini")), "[s]\nk=old\nother=kept\n");
}

TEST(IniFileCache, ChangesByOthersAreSeenAtTheNextCall) {
    TTempDir dir;
    WriteWhole(dir.Path("a.ini"), "[s]\nk=1\n");
    TIniFile ini(dir.Path("a.ini"));
    TIniFile other(dir.Path("a.ini"));
    EXPECT_EQ(ini.ReadString("s", "k", ""), "1");
    WriteWhole(dir.Path("a.ini"), "[s]\nk=2\n");  // in place, same size, same clock tick
    EXPECT_EQ(ini.ReadString("s", "k", ""), "2");
    other.WriteString("s", "k", "3");
    EXPECT_EQ(ini.ReadString("s", "k", ""), "3");
    ini.WriteString("s", "j", "4");
    EXPECT_EQ(ReadWhole(dir.Path("a.ini")), "[s]\nk=3\nj=4\n");
    unlink(dir.Path("a.ini").c_str());
    EXPECT_EQ(ini.ReadString("s", "k", "gone"), "gone");
}

TEST(IniFileBatch, WritesOnceAtTheEndAndReadsItsOwnWrites) {
    TTempDir dir;
    WriteWhole(dir.Path("a.ini"), "[s]\nk=1\n");
    TIniFile ini(dir.Path("a.ini"));
    TIniUpdate batch(ini);
    ini.WriteString("s", "k", "2");
    ini.WriteString("t", "x", "y");
    EXPECT_EQ(ini.ReadString("s", "k", ""), "2");
    EXPECT_EQ(ReadWhole(dir.Path("a.ini")), "[s]\nk=1\n");
    batch.Commit();
    EXPECT_EQ(ReadWhole(dir.Path("a.ini")), "[s]\nk=2\n[t]\nx=y\n");
}

TEST(IniFileBatch, ChangesByOthersDuringTheBatchAreKept) {
    TTempDir dir;
    WriteWhole(dir.Path("a.ini"), "[s]\nk=1\n");
    TIniFile ini(dir.Path("a.ini"));
    ini.BeginUpdate();
    ini.WriteString("s", "k", "2");
    TIniFile(dir.Path("a.ini")).WriteString("s", "theirs", "t");
    ini.EndUpdate();
    EXPECT_EQ(ReadWhole(dir.Path("a.ini")), "[s]\nk=2\ntheirs=t\n");
}

TEST(IniFileBatch, FailureAtTheEndThrowsAndDropsTheChanges) {
    TTempDir dir;
    WriteWhole(dir.Path("plain"), "");
    TIniFile ini(dir.Path("plain/a.ini"));
    {
        TIniUpdate batch(ini);
        ini.WriteString("s", "k", "v");
        EXPECT_THROW(batch.Commit(), EIniFileError);
    }
    {
        TIniUpdate abandoned(ini);  // its destructor must swallow the same error
        ini.WriteString("s", "k", "v");
    }
    EXPECT_EQ(ini.ReadString("s", "k", "none"), "none");
}

TEST(IniFileBatch, AbandonedBatchIsStillWritten) {
    TTempDir dir;
    TIniFile ini(dir.Path("a.ini"));
    try {
        TIniUpdate batch(ini);
        ini.WriteString("s", "k", "v");
        throw std::runtime_error("caller failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(ReadWhole(dir.Path("a.ini")), "[s]\r\nk=v\r\n");
}

}  // namespace
}  // namespace xavo
