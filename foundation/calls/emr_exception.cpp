#include "foundation/calls/emr_exception.h"

#include "platform/text/unicode.h"

CEMRException::CEMRException(const std::u16string& message) : message_(message) {}

CEMRException::CEMRException(const std::string& message) : message_(korvalis::FromUtf8(message)) {}

CEMRException::~CEMRException() = default;

std::string CEMRException::GetTextA() const { return korvalis::ToUtf8(message_); }

const std::u16string& CEMRException::GetText() const { return message_; }
