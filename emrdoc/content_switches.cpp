#include "emrdoc/content_switches.h"

#include "foundation/codec/codec_factory.h"
#include "lookups/sys_param.h"

namespace korvalis::emrdoc {
namespace {

// The parameter value that turns a codec on.
constexpr char16_t kSwitchOn[] = u"1";

}  // namespace

ContentCodecs ContentSwitches::Get(CSingleDataSource& data_source) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (codecs_) return *codecs_;
  }
  ContentCodecs read;
  if (GetSysParam(data_source, u"emr_content_compression") == kSwitchOn) {
    read.compression = CreateCompression(-1)->GetType();
  }
  if (GetSysParam(data_source, u"emr_content_encryption") == kSwitchOn) {
    read.encryption = CreateEncryption(-1)->GetType();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (!codecs_) codecs_ = read;
  return *codecs_;
}

void ContentSwitches::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  codecs_.reset();
}

ContentSwitches& SaveDocumentSwitches() {
  static ContentSwitches switches;
  return switches;
}

ContentSwitches& UpdateContentSwitches() {
  static ContentSwitches switches;
  return switches;
}

}  // namespace korvalis::emrdoc
