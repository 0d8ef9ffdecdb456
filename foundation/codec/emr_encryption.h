// CEMREncryption enciphers stored bytes. The type number stored beside the data selects:
//   0 CDummyEncryption   the bytes unchanged
//   1 CEnzipEncryption   Base64 text (UTF-16LE with its zero terminator), then zlib
//   2 CWinApiEncryption  RC4 keyed by the MD5 digest of the system's key material
//   3 CDES2Encryption    two-key triple DES in CFB mode from the system's IV
//   4 CMD5Encryption     one-way: the MD5 digest as upper-case hex text
// Codecs 2 and 3 are stream ciphers: the output has exactly the input's length and every
// message starts afresh from the same key, so equal inputs give equal outputs.
//
// Output arrays are allocated with array new; the caller releases them with array delete.
// An output pointer passed in must be null or an array of the caller's from array new: it
// is released when a new result replaces it. A failure leaves it as it was.
//
// Thread-safety: codec objects keep no state; each thread may use its own object freely.
#pragma once

#include "platform/com/types.h"

class CEMREncryption {
 public:
  virtual ~CEMREncryption() = default;

  virtual void Encrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) = 0;
  virtual void Decrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) = 0;
  virtual int GetType() = 0;
};

class CDummyEncryption : public CEMREncryption {
 public:
  // Both copy the input.
  void Encrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) override;
  void Decrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) override;
  int GetType() override { return 0; }
};

class CEnzipEncryption : public CEMREncryption {
 public:
  void Encrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) override;
  // Throws the zlib codec's or the Base64 codec's failure for damaged input. A text that
  // decodes to nothing sets `cbOut` to 0 and leaves `pbOut` as it was.
  void Decrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) override;
  int GetType() override { return 1; }
};

class CWinApiEncryption : public CEMREncryption {
 public:
  void Encrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) override;
  void Decrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) override;
  int GetType() override { return 2; }
};

class CDES2Encryption : public CEMREncryption {
 public:
  void Encrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) override;
  void Decrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) override;
  int GetType() override { return 3; }
};

class CMD5Encryption : public CEMREncryption {
 public:
  // The output is 33 bytes: 32 upper-case hex digits and a zero byte.
  void Encrypt(const BYTE* pbIn, ULONG cbIn, BYTE*& pbOut, ULONG& cbOut) override;
  // A digest cannot be reversed: `pbOut` and `cbOut` stay as the caller set them.
  void Decrypt(const BYTE*, ULONG, BYTE*&, ULONG&) override {}
  int GetType() override { return 4; }
};
