// CEMREncoder turns bytes into text and back; CBase64Encoder (type 0) is its only codec:
// Base64 as the XML parser's library writes it, with a line feed after every 60 characters
// and at the end. Those line feeds are part of the stored and transmitted form.
//
// Output arrays are allocated with array new; the caller releases them with array delete.
// An output pointer passed in must be null or an array of the caller's from array new: it
// is released when a new result replaces it.
//
// Thread-safety: codec objects keep no state; each thread may use its own object freely.
#pragma once

#include <string>
#include <string_view>

#include "platform/com/types.h"

class CEMREncoder {
 public:
  virtual ~CEMREncoder() = default;

  // Encodes `cbIn` bytes at `pbIn` into `strOut`; 0 bytes give the empty text.
  virtual void Encode(const BYTE* pbIn, ULONG cbIn, std::u16string& strOut) = 0;
  // Decodes `strIn` into a new array. An empty text sets `cbOut` to 0 and leaves `pbOut`
  // as it was. Throws CEMRException when the text is not valid Base64.
  virtual void Decode(std::u16string_view strIn, BYTE*& pbOut, ULONG& cbOut) = 0;
  virtual int GetType() = 0;
};

class CBase64Encoder : public CEMREncoder {
 public:
  void Encode(const BYTE* pbIn, ULONG cbIn, std::u16string& strOut) override;
  // White space (such as the encoder's line feeds) is skipped; the text ends at its
  // first zero character, if any.
  void Decode(std::u16string_view strIn, BYTE*& pbOut, ULONG& cbOut) override;
  int GetType() override { return 0; }
};
