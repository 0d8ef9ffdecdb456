// The content switches of a writing operation of the record store: whether the content it stores
// is compressed (system parameter `emr_content_compression`) and encrypted
// (`emr_content_encryption`). A switch "1" turns on the default codec of its family (zlib, type
// 1; DES-EDE2, type 3); any other value, an empty or missing parameter included, stores without
// it (type 0). Each operation (the full save, the update) has its own pair, read at the
// operation's first content write in the process:
//
//   UNREAD ──Get: both parameters read──▶ READ (the two type numbers)
//     ▲  │
//     └──┘ Get: a parameter read fails (thrown; the next Get reads again)
//
// READ is kept for the life of the process: a changed parameter takes effect after a restart.
//
// Thread-safety: Get may be called from any thread. The parameters are read without holding the
// lock (a call must not wait for another call's database work while it holds its own); of
// concurrent first writes the first to finish fixes the types and every write uses those.
#pragma once

#include <mutex>
#include <optional>

class CSingleDataSource;

namespace korvalis::emrdoc {

// The codec type numbers that content is stored with.
struct ContentCodecs {
  int compression = 0;
  int encryption = 0;
};

class ContentSwitches {
 public:
  // The operation's types; reads the parameters through `data_source` while they are unread.
  ContentCodecs Get(CSingleDataSource& data_source);

  // Forgets the types, so that the next write reads the parameters again. Tests use it between
  // cases that change the parameters.
  void Clear();

 private:
  std::mutex mutex_;
  std::optional<ContentCodecs> codecs_;
};

// The switches of the full save (SaveEmrDocument) and of the update (UpdateEmrContent).
ContentSwitches& SaveDocumentSwitches();
ContentSwitches& UpdateContentSwitches();

}  // namespace korvalis::emrdoc
