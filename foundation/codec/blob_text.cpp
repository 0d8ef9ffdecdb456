#include "foundation/codec/blob_text.h"

#include <cstring>
#include <memory>

#include "foundation/data/single_data_source.h"

namespace korvalis {

std::u16string ReadBlobText(CSingleDataSource& data_source, const std::u16string& sql,
                            int compression, int encryption) {
  BYTE* bytes = nullptr;
  ULONG length = 0;
  data_source.ReadBlob(sql, bytes, length, compression, encryption, true);
  const std::unique_ptr<BYTE[]> owned(bytes);
  std::u16string text(length / 2, u'\0');
  if (!text.empty()) std::memcpy(text.data(), owned.get(), text.size() * sizeof(char16_t));
  if (!text.empty() && text.back() == u'\0') text.pop_back();
  return text;
}

void WriteBlobText(CSingleDataSource& data_source, const std::u16string& sql,
                   std::u16string_view text, int compression, int encryption) {
  data_source.WriteBlob(sql, reinterpret_cast<const BYTE*>(text.data()),
                        static_cast<ULONG>(text.size() * sizeof(char16_t)), compression, encryption,
                        true);
}

}  // namespace korvalis
