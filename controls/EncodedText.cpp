// Whether text can be written in a file's encoding (see EncodedText.h).
#include "EncodedText.h"

#include "SjisCodec.h"

namespace xavo {

std::size_t FindUnencodableIn(std::u16string_view text, TFileEncoding encoding) {
    if (encoding.Kind == TEncoding::Sjis) return FindUnencodable(text);
    const TFileEncoding bare{encoding.Kind, false};
    std::size_t unencodable = 0;
    EncodeText(text, bare, unencodable);
    if (unencodable == 0) return std::u16string_view::npos;
    // Rare (only when the user typed such a character): find it one character at a time.
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length =
            i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF ? 2 : 1;
        std::size_t count = 0;
        EncodeText(text.substr(i, length), bare, count);
        if (count > 0 && !(length == 1 && IsByteEscape(text[i]))) return i;
        i += length;
    }
    return 0;  // only the whole line fails: point at its start rather than stay silent
}

}  // namespace xavo
