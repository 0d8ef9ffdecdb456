// Loading a document from a byte stream, as the platform's HTML engine persists it: the
// stream is read to its end and decoded by its byte-order mark (UTF-16LE, UTF-16BE or UTF-8),
// and as UTF-8 without one.
//
// Thread-safety: as Document.
#pragma once

#include "platform/com/stream.h"
#include "platform/html/document.h"

namespace korvalis::html {

// Reads `stream` to its end and loads the text into `document`. Returns S_OK, or the failure
// of the stream's Read, in which case the document is left empty (HTML, HEAD, BODY).
// E_POINTER when `stream` is null.
HRESULT LoadFromStream(Document& document, ISequentialStream* stream);

}  // namespace korvalis::html
