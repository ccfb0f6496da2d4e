// A text file's bytes in its encoding -> a document, and a document -> its file's bytes.
//
// Shift-JIS is the document's own form: a Shift-JIS file's bytes are taken as they are (a
// mapped file is never copied). Any other encoding is converted once, in one streaming
// pass over blocks cut where the encoding allows (no character, shift state or CR LF pair
// is split): by the transcoder where it converts a block exactly, else by decoding the
// block and keeping every unit Shift-JIS cannot hold as a foreign unit. No UTF-16 copy of
// the whole file is ever made, and a mapped file's pages are given back as the pass goes.
// Writing decodes the document a few lines at a time and encodes them in the file's
// encoding, so a document read and written unedited gives back the file's bytes exactly.
// Entry points: ReadTextBuffer, ConvertToSjisText, WriteTextBuffer.
#pragma once

#include "Encoding.h"
#include "TextBuffer.h"

#include <functional>
#include <string>
#include <string_view>

namespace xavo {

// The document of a file's bytes read in Encoding (its Bom: the file's mark is not text).
TTextBuffer ReadTextBuffer(TFileBytes file, TFileEncoding encoding);

// Bytes of a file in Encoding as the document holds them. First: the bytes begin the
// file (a byte-order mark there is dropped when Encoding has Bom). Converts as
// ReadTextBuffer does, in blocks of about BlockBytes; Forget (when given) is told each
// input range that is done with.
TSjisText ConvertToSjisText(std::string_view bytes, TFileEncoding encoding, bool first = true,
                            const std::function<void(std::size_t from, std::size_t to)>& forget = {},
                            std::size_t blockBytes = 4 << 20);

// The document's text (its breaks as stored) in Encoding, the mark first when Encoding
// has Bom, handed to Sink in pieces of whole lines. Foreign units are written as
// themselves where the encoding holds them, as '?' where it cannot (the caller asks first).
void WriteTextBuffer(const TTextBuffer& buffer, TFileEncoding encoding, const std::function<void(std::string_view)>& sink);
std::string EncodeTextBuffer(const TTextBuffer& buffer, TFileEncoding encoding);

}  // namespace xavo
