// The character formats of a text read as RTF, kept as runs over the text view's
// positions (Shift-JIS bytes, every break two) and in step with the text's edits, so that
// the text can be shown formatted and written back as RTF after a replace.
//
// The text itself is the document's; only the formats are kept here. Entry points:
// TRichFormats::FromRtf, Replace, ToRtf. No Qt.
#pragma once

#include "Rtf.h"
#include "TextBuffer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace xavo {

class TRichFormats {
public:
    // Format from Start to the next run's start (or the end of the text).
    struct TRun {
        std::int64_t Start = 0;
        TRtfCharFormat Format;
        bool operator==(const TRun&) const = default;
    };

    // The text of Document as the view holds it (paragraphs ended by CR LF), Formats its runs.
    static std::u16string FromRtf(const TRtfDocument& document, TRichFormats& formats);

    bool Empty() const { return FRuns.empty(); }
    const std::vector<TRun>& Runs() const { return FRuns; }
    void Assign(std::vector<TRun> runs) { FRuns = std::move(runs); }
    void Clear() { FRuns.clear(); }
    TRtfCharFormat FormatAt(std::int64_t position) const;

    // Ranges (ascending, in positions before the change) each replaced by Inserted view
    // bytes. Inserted text takes the format of the character before it (the first
    // character's format at the start).
    void Replace(const std::vector<TViewRange>& ranges, std::int64_t inserted);

    // The text of Buffer with these formats (the whole text in the default format when
    // there are none).
    TRtfDocument ToRtf(const TTextBuffer& buffer) const;

private:
    void ReplaceOne(std::int64_t from, std::int64_t removed, std::int64_t inserted);
    std::vector<TRun> FRuns;
};

}  // namespace xavo
