// Accuracy of the encoding detection on short texts cut from the Shift-JIS corpus.
//
//   encoding_accuracy [PROSE_DIR] [SAMPLES]   (default /tmp/corpus/prose, 2000)
//
// For each length (2 to 40 characters) draws SAMPLES windows at random (fixed seed) from
// the corpus files' lines, each holding at least one non-ASCII character and no byte the
// codec keeps as an escape, converts each window to every encoding and prints the share
// that DetectEncoding names correctly. A second table does the same for the hard case of
// half-width katakana only: the corpus's katakana words turned half-width. Then files that
// are hard in other ways: 64 KB of ASCII before the Japanese text, a UTF-8 text with one
// ill-formed byte, an EUC-JP text with one pair that JIS X 0208 lacks.
#include "Detect.h"
#include "Encoding.h"
#include "SjisCodec.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

// Full-width katakana and their half-width spelling (a voiced letter takes two characters).
const char16_t kFull[] = u"ァアィイゥウェエォオカガキギクグケゲコゴサザシジスズセゼソゾタダチヂッツヅテデトドナニヌネノハバパヒビピフブプヘベペホボポマミムメモャヤュユョヨラリルレロヮワヰヱヲンヴヵヶ・ー";
const char16_t* const kHalf[] = {
    u"ｧ", u"ｱ", u"ｨ", u"ｲ", u"ｩ", u"ｳ", u"ｪ", u"ｴ", u"ｫ", u"ｵ", u"ｶ", u"ｶﾞ", u"ｷ", u"ｷﾞ", u"ｸ", u"ｸﾞ", u"ｹ", u"ｹﾞ",
    u"ｺ", u"ｺﾞ", u"ｻ", u"ｻﾞ", u"ｼ", u"ｼﾞ", u"ｽ", u"ｽﾞ", u"ｾ", u"ｾﾞ", u"ｿ", u"ｿﾞ", u"ﾀ", u"ﾀﾞ", u"ﾁ", u"ﾁﾞ", u"ｯ", u"ﾂ",
    u"ﾂﾞ", u"ﾃ", u"ﾃﾞ", u"ﾄ", u"ﾄﾞ", u"ﾅ", u"ﾆ", u"ﾇ", u"ﾈ", u"ﾉ", u"ﾊ", u"ﾊﾞ", u"ﾊﾟ", u"ﾋ", u"ﾋﾞ", u"ﾋﾟ", u"ﾌ", u"ﾌﾞ",
    u"ﾌﾟ", u"ﾍ", u"ﾍﾞ", u"ﾍﾟ", u"ﾎ", u"ﾎﾞ", u"ﾎﾟ", u"ﾏ", u"ﾐ", u"ﾑ", u"ﾒ", u"ﾓ", u"ｬ", u"ﾔ", u"ｭ", u"ﾕ", u"ｮ", u"ﾖ",
    u"ﾗ", u"ﾘ", u"ﾙ", u"ﾚ", u"ﾛ", u"ﾜ", u"ﾜ", u"ｲ", u"ｴ", u"ｦ", u"ﾝ", u"ｳﾞ", u"ｶ", u"ｹ", u"･", u"ｰ"};
static_assert(std::size(kFull) - 1 == std::size(kHalf));

// The half-width spelling of the katakana runs of at least Min characters in Line.
void HalfWidthRuns(const std::u16string& line, std::size_t min, std::vector<std::u16string>& runs) {
    const std::u16string_view full(kFull, std::size(kFull) - 1);
    std::size_t i = 0;
    while (i < line.size()) {
        std::size_t end = i;
        while (end < line.size() && full.find(line[end]) != std::u16string_view::npos) ++end;
        if (end - i >= min) {
            std::u16string half;
            for (std::size_t k = i; k < end; ++k) half += kHalf[full.find(line[k])];
            runs.push_back(half);
        }
        i = end + 1;
    }
}

template <class Draw>
void PrintRow(const char* label, std::size_t length, int samples, const std::vector<xavo::TFileEncoding>& encodings, Draw draw) {
    std::vector<int> right(encodings.size(), 0);
    int missedShown = 0;
    for (int n = 0; n < samples; ++n) {
        const std::u16string window = draw();
        for (std::size_t i = 0; i < encodings.size(); ++i) {
            if (xavo::DetectEncoding(xavo::EncodeText(window, encodings[i])) == encodings[i]) {
                ++right[i];
            } else if (missedShown < 6) {
                ++missedShown;
                std::fprintf(stderr, "  %s %zu, missed in %s: %s\n", label, length, xavo::EncodingName(encodings[i]).c_str(),
                             xavo::SjisToUtf8(xavo::EncodeSjis(window)).c_str());
            }
        }
    }
    std::printf("| %zu |", length);
    for (const int r : right) std::printf(" %.1f %% |", 100.0 * r / samples);
    std::printf("\n");
}

// One row of the hard files: Make turns a window into the bytes of a file in Encoding.
template <class Draw, class Make>
void PrintFileRow(const char* label, int samples, const std::vector<xavo::TFileEncoding>& encodings, Draw draw, Make make) {
    std::vector<int> right(encodings.size(), 0);
    for (int n = 0; n < samples; ++n) {
        const std::u16string window = draw();
        for (std::size_t i = 0; i < encodings.size(); ++i)
            if (xavo::DetectEncoding(make(window, encodings[i])) == encodings[i]) ++right[i];
    }
    std::printf("| %s |", label);
    for (const int r : right) std::printf(" %.1f %% |", 100.0 * r / samples);
    std::printf("\n");
}

void PrintHeader(const std::vector<xavo::TFileEncoding>& encodings) {
    std::printf("| characters |");
    for (const xavo::TFileEncoding e : encodings) std::printf(" %s |", xavo::EncodingName(e).c_str());
    std::printf("\n|---|");
    for (std::size_t i = 0; i < encodings.size(); ++i) std::printf("---|");
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    using namespace xavo;
    const std::filesystem::path dir = argc > 1 ? argv[1] : "/tmp/corpus/prose";
    const int samples = argc > 2 ? std::atoi(argv[2]) : 2000;

    // Every line of the corpus with a non-ASCII character, as UTF-16.
    std::vector<std::u16string> lines;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& path : files) {
        std::ifstream in(path, std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        const std::u16string text = DecodeSjis(bytes);
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find_first_of(u"\r\n", start);
            if (end == std::u16string::npos) end = text.size();
            const std::u16string line = text.substr(start, end - start);
            const bool clean = std::none_of(line.begin(), line.end(), [](char16_t u) { return IsSjisEscape(u); });
            if (clean && std::any_of(line.begin(), line.end(), [](char16_t u) { return u >= 0x80; })) lines.push_back(line);
            start = end + 1;
        }
    }
    if (lines.empty()) {
        std::fprintf(stderr, "no corpus lines under %s\n", dir.string().c_str());
        return 2;
    }

    const std::vector<TFileEncoding> encodings = {{TEncoding::Sjis, false}, {TEncoding::EucJp, false}, {TEncoding::Jis, false},
                                                  {TEncoding::Utf8, false}, {TEncoding::Utf8, true},   {TEncoding::Utf16Le, true}};
    std::printf("%zu corpus lines; %d windows per length\n\nCut from lines:\n\n", lines.size(), samples);
    PrintHeader(encodings);
    std::mt19937 rng(18);
    const auto drawWindow = [&](std::size_t length) {
        for (;;) {
            const std::u16string& line = lines[rng() % lines.size()];
            if (line.size() < length) continue;
            const std::u16string window = line.substr(rng() % (line.size() - length + 1), length);
            if (std::any_of(window.begin(), window.end(), [](char16_t u) { return u >= 0x80; })) return window;
        }
    };
    for (const std::size_t length : {2u, 5u, 8u, 10u, 16u, 20u, 40u})
        PrintRow("line", length, samples, encodings, [&] { return drawWindow(length); });

    const std::vector<TFileEncoding> kanaEncodings = {{TEncoding::Sjis, false}, {TEncoding::EucJp, false}, {TEncoding::Jis, false}, {TEncoding::Utf8, false}};
    std::printf("\nHalf-width katakana only (the corpus's katakana words made half-width):\n\n");
    PrintHeader(kanaEncodings);
    for (const std::size_t length : {2u, 5u, 6u, 10u, 20u, 40u}) {  // 6: five bytes are never EUC-JP
        std::vector<std::u16string> runs;
        for (const std::u16string& line : lines) HalfWidthRuns(line, 1, runs);
        std::u16string all;  // the words one after another, as a text of half-width katakana
        for (const std::u16string& r : runs) all += r;
        PrintRow("kana", length, samples, kanaEncodings, [&] { return all.substr(rng() % (all.size() - length), length); });
    }

    // Hard files: 40 characters of text in each, detected from the whole file.
    std::printf("\nHard files (40 characters of text each):\n\n");
    const std::vector<TFileEncoding> fileEncodings = {{TEncoding::Sjis, false}, {TEncoding::EucJp, false}, {TEncoding::Jis, false},
                                                      {TEncoding::Utf8, false}};
    std::printf("| file |");
    for (const TFileEncoding e : fileEncodings) std::printf(" %s |", EncodingName(e).c_str());
    std::printf("\n|---|---|---|---|---|\n");
    const std::string asciiHead = [] {
        std::string head;
        while (head.size() < 64 * 1024) head += "2024-01-01 12:00:00 INFO plain ASCII log line\n";
        return head;
    }();
    const int fileSamples = std::max(1, samples / 10);
    PrintFileRow("64 KB of ASCII first", fileSamples, fileEncodings, [&] { return drawWindow(40); },
                 [&](const std::u16string& w, TFileEncoding e) { return asciiHead + EncodeText(w, e); });
    std::printf("\n| file | found in its encoding |\n|---|---|\n");
    PrintFileRow("UTF-8, one ill-formed byte", fileSamples, {{TEncoding::Utf8, false}},
                 [&] { return drawWindow(40) + u"\n" + drawWindow(40); },
                 [&](const std::u16string& w, TFileEncoding e) {
                     std::string bytes = EncodeText(w, e);
                     return bytes.insert(bytes.find('\n'), "caf\xE9");  // a Latin-1 e-acute
                 });
    PrintFileRow("UTF-8, cut in its last character", fileSamples, {{TEncoding::Utf8, false}},
                 [&] {
                     for (;;) {
                         const std::u16string w = drawWindow(40);
                         if (w.back() >= 0x800) return w;  // three bytes in UTF-8
                     }
                 },
                 [&](const std::u16string& w, TFileEncoding e) {
                     const std::string bytes = EncodeText(w, e);
                     return bytes.substr(0, bytes.size() - 1);
                 });
    PrintFileRow("EUC-JP, one JIS X 0213 pair", fileSamples, {{TEncoding::EucJp, false}},
                 [&] { return drawWindow(40) + u"\n" + drawWindow(40); },
                 [&](const std::u16string& w, TFileEncoding e) {
                     std::string bytes = EncodeText(w, e);
                     return bytes.insert(bytes.find('\n'), "\xA9\xA1");  // row 9: none in JIS X 0208
                 });
    return 0;
}
