// Texts of the encoding tests, written in UTF-8 and turned into each encoding.
#pragma once

#include "Encoding.h"

#include <string>
#include <vector>

namespace xavo::testing {

// UTF-8 source text to UTF-16 (the sources are valid UTF-8).
inline std::u16string U16(const std::string& utf8) { return DecodeText(utf8, {TEncoding::Utf8, false}); }

// UTF-8 source text in Encoding.
inline std::string In(TFileEncoding encoding, const std::string& utf8) { return EncodeText(U16(utf8), encoding); }

// Every encoding a file may have, each with and without a mark where it has one.
inline std::vector<TFileEncoding> AllEncodings() {
    return {{TEncoding::Sjis, false},    {TEncoding::EucJp, false},  {TEncoding::Jis, false},
            {TEncoding::Utf8, false},    {TEncoding::Utf8, true},    {TEncoding::Utf16Le, true},
            {TEncoding::Utf16Be, true},  {TEncoding::Utf16Le, false}, {TEncoding::Utf16Be, false}};
}

}  // namespace xavo::testing
