// Updating a record's content: the plausibility checks with their records, what a write stamps,
// the client's name and the QC marks.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "emrdoc/testing/record_store_fixture.h"
#include "foundation/codec/emr_compression.h"
#include "foundation/log/event_log_entry.h"
#include "foundation/suite/factory.h"
#include "foundation/testing/codec_test_util.h"

namespace korvalis::emrdoc::testing {
namespace {

using korvalis::testing::FailureOf;

class UpdateTest : public RecordStoreTest {
 protected:
  UpdateTest() { Run(VisitInsertSql({})); }  // its records load as stored

  // A record of `emr_type` with an old content, XML and no MODIFY_DATE; its id is new to the
  // logs.
  std::u16string AddStoredRecord(int emr_type = 2) {
    const std::string id = ToUtf8(CEMRFactory::Instance()->NewGuid());
    AddRecord({.id = id, .emr_type = emr_type});
    StoreContent(id, Page(900, 500) + u"旧内容");
    Run("UPDATE TELV_EMR_CONTENT SET XML = '<old/>' WHERE ID = '" + id + "'");
    return FromUtf8(id);
  }
  bool EventLogNames(const std::u16string& id) {
    for (const auto& record : events_.Records()) {
      if (record.type == CEventLogEntry::kError && record.text.find(id) != std::u16string::npos) {
        return true;
      }
    }
    return false;
  }
};

TEST_F(UpdateTest, ImplausibleContentIsRefusedLoudlyAndChangesNothing) {
  const struct {
    const char* name;
    std::u16string text;
  } kRefused[] = {
      {"empty", u""},
      {"699 units", Page(699, 100)},
      {"a body of 49 units", Page(700, 49)},
      {"capital-B body tags", Page(2000, 1000, u"<Body", u"</Body")},
      {"no closing body tag", Page(2000, 1000, u"<BODY", u"</BOD")},
      {"no body", std::u16string(1000, u'字')},
  };
  for (const auto& c : kRefused) {
    SCOPED_TRACE(c.name);
    const std::u16string id = AddStoredRecord();
    const std::string before = StoredBytes(id);
    EXPECT_EQ(FailureOf([&] { Update(id, c.text, u"<root><user id='D01'>李医生</user></root>"); }),
              kEmrContentRefusedMessage);
    EXPECT_EQ(StoredBytes(id), before);
    EXPECT_EQ(Column(id, u"MODIFY_DATE"), u"");
    EXPECT_EQ(Column(id, u"XML"), u"<old/>");
    EXPECT_TRUE(EventLogNames(id));
    EXPECT_EQ(FileLogHolds(id + u":"), !c.text.empty());
    if (!c.text.empty()) {
      EXPECT_TRUE(FileLogHolds(id + u":" + c.text));
    }
  }
  EXPECT_TRUE(quality_.QcMarksCalls().empty());
}

TEST_F(UpdateTest, PlausibleContentIsWrittenWhateverItsCompressedSize) {
  const std::u16string kWritten[] = {Page(700, 50), Page(2000, 1000, u"<body", u"</body")};
  {
    com::ScopedBstr packed;
    *packed.out() = PackEmrContent(kWritten[0]);
    ASSERT_LT(SysStringByteLen(packed.get()), 440u);
  }
  for (const std::u16string& text : kWritten) {
    const std::u16string id = AddStoredRecord();
    Update(id, text);
    EXPECT_EQ(Load(id), text);
    EXPECT_EQ(Column(id, u"MODIFY_DATE"), kNow);
    EXPECT_EQ(Column(id, u"XML"), u"");
    EXPECT_EQ(Column(id, u"MODIFIOR"), u"");
    EXPECT_FALSE(FileLogHolds(id));
  }
  // Without a client identity no QC marks are stored, not even for EMR type 1.
  Update(AddStoredRecord(1), Page());
  EXPECT_TRUE(quality_.QcMarksCalls().empty());
}

TEST_F(UpdateTest, TheClientNamesTheModifierAndTypeOneStoresItsQcMarks) {
  const std::u16string client = u"<root><user id='D01'>王'医生</user></root>";
  const std::u16string front_sheet = AddStoredRecord(1), course = AddStoredRecord(2);
  Update(front_sheet, Page(), client);
  Update(course, Page(), client);
  EXPECT_EQ(Column(front_sheet, u"MODIFIOR"), u"王'医生");
  EXPECT_EQ(Column(course, u"MODIFIOR"), u"王'医生");
  const auto marks = quality_.QcMarksCalls();
  ASSERT_EQ(marks.size(), 1u);
  EXPECT_EQ(marks[0].data_source, &data_source_);
  EXPECT_EQ(marks[0].content, Page());
  EXPECT_NE(marks[0].identification.find(u"<emr_id>" + front_sheet + u"</emr_id>"),
            std::u16string::npos);
  // A client identity without a user leaves the modifier alone; one that does not parse fails.
  Update(course, Page(1000, 500), u"<root/>");
  EXPECT_EQ(Column(course, u"MODIFIOR"), u"王'医生");
  EXPECT_EQ(FailureOf([&] { Update(course, Page(), u"<root>"); }), u"解析属性信息错误.");
}

TEST_F(UpdateTest, ContentThatDoesNotUncompressOrExpandsBeyondTheLimitFails) {
  const std::u16string id = AddStoredRecord();
  const std::vector<BYTE>& huge = codec::testing::BeyondTheExpansionLimit();
  com::ScopedBstr emr_id(id), garbage(u"这不是压缩内容"), oversized;
  *oversized.out() = SysAllocStringByteLen(reinterpret_cast<const char*>(huge.data()), huge.size());
  for (const auto& [content, message] :
       {std::pair{garbage.get(), kUncompressFailed}, {oversized.get(), kExpandedTooLarge}}) {
    EXPECT_EQ(FailureOf([&] { UpdateEmrContent(&data_source_, emr_id.get(), content, nullptr); }),
              message);
  }
  EXPECT_EQ(Column(id, u"MODIFY_DATE"), u"");
}

}  // namespace
}  // namespace korvalis::emrdoc::testing
