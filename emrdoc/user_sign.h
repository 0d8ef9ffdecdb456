// CEMRUserSign: the signature provider of a record, and CUserNameSignServer, the one provider of
// the system, whose signature is the signer's name as the user directory knows it (the user's
// property document, GetUserPropertyById); it involves no cryptography.
//
// The department QC report signs its result this way: it creates a CUserNameSignServer for the
// calling user, asks it to Sign, and passes the signature and GetSignType to SaveEmrSignature
// (emr_signature.h).
//
// Thread-safety: a provider belongs to one thread (one signing).
#pragma once

#include <string>

// The abstract provider. Its virtual operations, in slot order: the destructor, Sign, Verify,
// GetSignType; it supplies no behaviour of its own.
class CEMRUserSign {
 public:
  // The text is not kept.
  explicit CEMRUserSign(std::u16string) {}
  virtual ~CEMRUserSign() = default;

  // The signature of `text`.
  virtual std::u16string Sign(const std::u16string& text) = 0;
  // Whether `signature` is a valid signature of `text`.
  virtual bool Verify(const std::u16string& text, const std::u16string& signature) = 0;
  // The sign type stored as SIGN_TYPE.
  virtual long GetSignType() = 0;
};

class CUserNameSignServer : public CEMRUserSign {
 public:
  // `user_id`: the user who signs.
  explicit CUserNameSignServer(std::u16string user_id);
  ~CUserNameSignServer() override;

  // The user's `name` (empty when the user has none). The text is not read. Throws the
  // failures of GetUserPropertyById.
  std::u16string Sign(const std::u16string& text) override;
  // True when `signature` equals the user's name exactly (letter case and blanks count). The
  // text is not read. Throws as Sign.
  bool Verify(const std::u16string& text, const std::u16string& signature) override;
  // 0.
  long GetSignType() override;

 private:
  // Reads the name on a CEMRDataSource of its own, which inside a call shares the call's
  // connection and transaction.
  std::u16string UserName() const;

  std::u16string user_id_;
};
