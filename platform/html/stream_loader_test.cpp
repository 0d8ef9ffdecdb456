#include "platform/html/stream_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace korvalis::html {
namespace {

// A stream that hands out at most `chunk` bytes per read and can fail after some reads.
class ChunkedStream : public ISequentialStream {
 public:
  ChunkedStream(std::string bytes, ULONG chunk, int fail_after = -1)
      : bytes_(std::move(bytes)), chunk_(chunk), fail_after_(fail_after) {}
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  HRESULT Read(void* pv, ULONG cb, ULONG* read) override {
    if (fail_after_ == 0) return E_UNEXPECTED;
    if (fail_after_ > 0) --fail_after_;
    ULONG n = static_cast<ULONG>(std::min<size_t>({cb, chunk_, bytes_.size() - position_}));
    std::memcpy(pv, bytes_.data() + position_, n);
    position_ += n;
    *read = n;
    return n == 0 ? S_FALSE : S_OK;
  }

 private:
  std::string bytes_;
  size_t position_ = 0;
  ULONG chunk_;
  int fail_after_;
};

std::u16string LoadBody(const std::string& bytes, ULONG chunk = 1 << 20) {
  Document doc;
  ChunkedStream stream(bytes, chunk);
  EXPECT_EQ(LoadFromStream(doc, &stream), S_OK);
  return doc.body()->InnerHtml();
}

TEST(HtmlStreamLoader, DecodesByByteOrderMark) {
  EXPECT_EQ(LoadBody(std::string("\xFF\xFE<\0p\0>\0-N", 10)), u"<P>\u4E2D</P>");
  EXPECT_EQ(LoadBody(std::string("\xFE\xFF\0<\0p\0>N-", 10)), u"<P>\u4E2D</P>");
  EXPECT_EQ(LoadBody("\xEF\xBB\xBF<p>\xE4\xB8\xAD"), u"<P>\u4E2D</P>");
  EXPECT_EQ(LoadBody("<p>\xE4\xB8\xAD"), u"<P>\u4E2D</P>");
  // A lone last byte of UTF-16 and invalid UTF-8 become U+FFFD, never dropped silently.
  EXPECT_EQ(LoadBody(std::string("\xFF\xFE" "a\0b", 5)), u"a\uFFFD");
  EXPECT_EQ(LoadBody("a\xFF" "b"), u"a\uFFFDb");
}

TEST(HtmlStreamLoader, ReadsInPiecesAndReportsFailures) {
  std::string page = "<p>";
  for (int i = 0; i < 20000; ++i) page += "\xE4\xB8\xAD";
  std::u16string body = LoadBody(page, 7);  // characters split across reads
  EXPECT_EQ(body, u"<P>" + std::u16string(20000, u'\u4E2D') + u"</P>");

  Document doc;
  doc.Load(u"<p>old</p>");
  ChunkedStream failing("<p>new</p>", 2, 2);
  EXPECT_EQ(LoadFromStream(doc, &failing), E_UNEXPECTED);
  EXPECT_EQ(doc.documentElement()->OuterHtml(), u"<HTML><HEAD></HEAD><BODY></BODY></HTML>");
  EXPECT_EQ(LoadFromStream(doc, nullptr), E_POINTER);
}

}  // namespace
}  // namespace korvalis::html
