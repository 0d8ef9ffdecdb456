// The hand-over form of record content: the form in which a record's HTML travels between
// the record store, the templates, the content QC and their clients. It is the document text
// compressed by the default compression (zlib, with its length trailer; see
// foundation/codec/emr_compression.h) together with its zero terminator, carried as the bytes of a
// BSTR whose byte count may be odd. An empty text travels as a zero-length BSTR, uncompressed.
//
// Thread-safety: stateless functions.
#pragma once

#include <string>
#include <string_view>

#include "platform/com/bstr.h"

// The hand-over form of `text`: a new BSTR that the caller frees (zero-length, never null, for
// an empty text). Throws std::bad_alloc when memory runs out.
BSTR PackEmrContent(std::u16string_view text);

// The text of a hand-over form; the empty text for a null or empty BSTR. The zero terminator
// that the form carries is not part of the text. Throws CEMRException "GZIP执行解压缩错误"
// for bytes that are not a hand-over form.
std::u16string UnpackEmrContent(BSTR packed);

// The units of a hand-over form exactly as they were packed: the text followed by its zero
// terminator when the form carries one. The record store stores these, unchanged. Throws as
// UnpackEmrContent.
std::u16string UnpackEmrContentUnits(BSTR packed);
