// Storing and loading one EMR page (about 120 KB of UTF-16 HTML) through the codecs, the
// way the BLOB statements do (compress then encrypt; decrypt then uncompress), against the
// same work done directly with zlib and Crypto++. The codec layer's cost is the ratio of
// the Codec* to the Raw* times.
#include <zlib.h>

#include <cryptopp/des.h>
#include <cryptopp/modes.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "foundation/codec/codec_factory.h"

namespace {

constexpr BYTE kKey[16] = {0x5e, 0x0c, 0x93, 0xa7, 0xd1, 0x48, 0x2b, 0xf6,
                           0xe7, 0x10, 0x9c, 0x3d, 0x4a, 0x6b, 0x8f, 0x21};
constexpr BYTE kIv[8] = {0xc4, 0x19, 0xe0, 0x7b, 0x52, 0xa6, 0xd3, 0x8f};
using Des2 = CryptoPP::CFB_FIPS_Mode<CryptoPP::DES_EDE2>;

// A progress note as the record editor stores it: a byte-order mark, then HTML with
// custom tags and data elements whose text varies from paragraph to paragraph.
std::vector<BYTE> EmrPage() {
  const std::u16string words[] = {u"患者", u"主诉", u"发热", u"咳嗽", u"三天", u"体温",
                                  u"38.5℃", u"血压", u"120/80mmHg", u"查体", u"双肺",
                                  u"呼吸音粗", u"未闻及", u"干湿啰音", u"诊断", u"上呼吸道感染",
                                  u"处理", u"对症治疗", u"复查", u"血常规"};
  std::u16string html = u"\uFEFF<HTML><HEAD><TITLE>病程记录</TITLE></HEAD><BODY>";
  unsigned state = 12345;
  int paragraph = 0;
  while (html.size() * 2 < 120 * 1024) {
    html += u"<P><CUSTOMTAG:LABEL id=STD_DE" + std::u16string(1, u'0' + paragraph % 10) +
            u">记录时间</CUSTOMTAG:LABEL><CUSTOMTAG:DE_Y id=EXT_DE" +
            std::u16string(1, u'A' + paragraph % 26) + u">";
    for (int i = 0; i < 24; ++i) {
      state = state * 1103515245u + 12345u;
      html += words[(state >> 16) % 20];
      if ((state >> 8) % 5 == 0) html += u"，";
    }
    html += u"。</CUSTOMTAG:DE_Y></P>\r\n";
    ++paragraph;
  }
  html += u"</BODY></HTML>";
  std::vector<BYTE> bytes;
  bytes.reserve(html.size() * 2);
  for (char16_t c : html) {
    bytes.push_back(static_cast<BYTE>(c));
    bytes.push_back(static_cast<BYTE>(c >> 8));
  }
  return bytes;
}

const std::vector<BYTE>& Page() {
  static const std::vector<BYTE> page = EmrPage();
  return page;
}

struct Stored {
  std::vector<BYTE> bytes;
  ULONG plainLength;
};

// The page as the codecs store it.
const Stored& StoredPage() {
  static const Stored stored = [] {
    BYTE* compressed = nullptr;
    ULONG cbCompressed = 0;
    CreateCompression(1)->Compress(Page().data(), static_cast<ULONG>(Page().size()), compressed,
                                   cbCompressed);
    BYTE* encrypted = nullptr;
    ULONG cbEncrypted = 0;
    CreateEncryption(3)->Encrypt(compressed, cbCompressed, encrypted, cbEncrypted);
    Stored result{std::vector<BYTE>(encrypted, encrypted + cbEncrypted),
                  static_cast<ULONG>(Page().size())};
    delete[] compressed;
    delete[] encrypted;
    return result;
  }();
  return stored;
}

void CodecStore(benchmark::State& state) {
  const std::vector<BYTE>& page = Page();
  for (auto _ : state) {
    BYTE* compressed = nullptr;
    ULONG cbCompressed = 0;
    CreateCompression(1)->Compress(page.data(), static_cast<ULONG>(page.size()), compressed,
                                   cbCompressed);
    BYTE* encrypted = nullptr;
    ULONG cbEncrypted = 0;
    CreateEncryption(3)->Encrypt(compressed, cbCompressed, encrypted, cbEncrypted);
    benchmark::DoNotOptimize(encrypted);
    delete[] compressed;
    delete[] encrypted;
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
}

void RawStore(benchmark::State& state) {
  const std::vector<BYTE>& page = Page();
  for (auto _ : state) {
    uLongf cbCompressed = compressBound(page.size());
    std::unique_ptr<BYTE[]> compressed(new BYTE[cbCompressed + 4]);
    if (compress(compressed.get(), &cbCompressed, page.data(), page.size()) != Z_OK) {
      throw std::runtime_error("compress");
    }
    const ULONG length = static_cast<ULONG>(page.size());
    for (int i = 0; i < 4; ++i) compressed[cbCompressed + i] = static_cast<BYTE>(length >> 8 * i);
    const size_t cbStored = cbCompressed + 4;
    std::unique_ptr<BYTE[]> encrypted(new BYTE[cbStored]);
    Des2::Encryption cipher;
    cipher.SetKeyWithIV(kKey, sizeof(kKey), kIv, sizeof(kIv));
    cipher.ProcessData(encrypted.get(), compressed.get(), cbStored);
    benchmark::DoNotOptimize(encrypted.get());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
}

void CodecLoad(benchmark::State& state) {
  const Stored& stored = StoredPage();
  for (auto _ : state) {
    BYTE* decrypted = nullptr;
    ULONG cbDecrypted = 0;
    CreateEncryption(3)->Decrypt(stored.bytes.data(), static_cast<ULONG>(stored.bytes.size()),
                                 decrypted, cbDecrypted);
    BYTE* plain = nullptr;
    ULONG cbPlain = 0;
    CreateCompression(1)->Uncompress(decrypted, cbDecrypted, plain, cbPlain);
    benchmark::DoNotOptimize(plain);
    delete[] decrypted;
    delete[] plain;
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(stored.plainLength));
  state.counters["page_bytes"] = static_cast<double>(stored.plainLength);
  state.counters["stored_bytes"] = static_cast<double>(stored.bytes.size());
}

void RawLoad(benchmark::State& state) {
  const Stored& stored = StoredPage();
  for (auto _ : state) {
    std::unique_ptr<BYTE[]> decrypted(new BYTE[stored.bytes.size()]);
    Des2::Decryption cipher;
    cipher.SetKeyWithIV(kKey, sizeof(kKey), kIv, sizeof(kIv));
    cipher.ProcessData(decrypted.get(), stored.bytes.data(), stored.bytes.size());
    uLongf cbPlain = stored.plainLength;
    std::unique_ptr<BYTE[]> plain(new BYTE[cbPlain]);
    if (uncompress(plain.get(), &cbPlain, decrypted.get(), stored.bytes.size()) != Z_OK) {
      throw std::runtime_error("uncompress");
    }
    benchmark::DoNotOptimize(plain.get());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(stored.plainLength));
}

BENCHMARK(CodecStore);
BENCHMARK(RawStore);
BENCHMARK(CodecLoad);
BENCHMARK(RawLoad);

}  // namespace
