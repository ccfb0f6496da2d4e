// Format runs over the view's positions (see RichFormats.h).
#include "RichFormats.h"

#include "SjisCodec.h"

#include <algorithm>

namespace xavo {

std::u16string TRichFormats::FromRtf(const TRtfDocument& document, TRichFormats& formats) {
    std::u16string text;
    std::vector<TRun> runs;
    std::int64_t at = 0;
    for (const TRtfRun& run : document.Runs) {
        runs.push_back({at, run.Format});
        for (const char16_t unit : run.Text) {
            if (unit == u'\n') {
                text += u"\r\n";
                at += 2;
            } else {
                text += unit;
                at += SjisLength(unit);
            }
        }
    }
    formats.Assign(std::move(runs));
    return text;
}

TRtfCharFormat TRichFormats::FormatAt(std::int64_t position) const {
    if (FRuns.empty()) return {};
    const auto it = std::upper_bound(FRuns.begin(), FRuns.end(), position,
                                     [](std::int64_t p, const TRun& run) { return p < run.Start; });
    return it == FRuns.begin() ? FRuns.front().Format : std::prev(it)->Format;
}

void TRichFormats::Replace(const std::vector<TViewRange>& ranges, std::int64_t inserted) {
    if (FRuns.empty()) return;
    // From the last: the earlier ranges' positions stay as they were.
    for (auto it = ranges.rbegin(); it != ranges.rend(); ++it) ReplaceOne(it->Start, it->Length, inserted);
}

void TRichFormats::ReplaceOne(std::int64_t from, std::int64_t removed, std::int64_t inserted) {
    const TRtfCharFormat before = FormatAt(from > 0 ? from - 1 : 0);
    const TRtfCharFormat after = FormatAt(from + removed);
    const std::int64_t shift = inserted - removed;
    std::vector<TRun> runs;
    runs.reserve(FRuns.size() + 2);
    const auto add = [&](std::int64_t start, const TRtfCharFormat& format) {
        while (!runs.empty() && runs.back().Start >= start) runs.pop_back();
        if (runs.empty() || !(runs.back().Format == format)) runs.push_back({start, format});
    };
    for (const TRun& run : FRuns)
        if (run.Start < from) add(run.Start, run.Format);
    if (inserted > 0) add(from, before);
    add(from + inserted, after);
    for (const TRun& run : FRuns)
        if (run.Start > from + removed) add(run.Start + shift, run.Format);
    FRuns = std::move(runs);
}

TRtfDocument TRichFormats::ToRtf(const TTextBuffer& buffer) const {
    TRtfDocument document;
    const std::int64_t length = buffer.Length();
    const auto append = [&](std::int64_t from, std::int64_t to, const TRtfCharFormat& format) {
        if (to <= from) return;
        std::u16string text = buffer.Decode(from, to - from);
        text.erase(std::remove(text.begin(), text.end(), u'\r'), text.end());  // breaks are CR LF: one paragraph mark
        document.Append(text, format);
    };
    if (FRuns.empty()) append(0, length, {});
    for (std::size_t i = 0; i < FRuns.size(); ++i) {
        const std::int64_t from = i == 0 ? 0 : std::min(FRuns[i].Start, length);
        const std::int64_t to = i + 1 < FRuns.size() ? std::min(FRuns[i + 1].Start, length) : length;
        append(from, to, FRuns[i].Format);
    }
    return document;
}

}  // namespace xavo
