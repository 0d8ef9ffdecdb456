#include "emrdoc/domain_manager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/testing/test_database.h"
#include "emrdoc/domain_table.h"
#include "emrdoc/emr_domain.h"
#include "foundation/data/comm_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/data/single_data_source.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::FromUtf8;
using korvalis::ToUtf8;
using korvalis::com::ScopedBstr;
using Journal = std::vector<std::string>;

TEST(SystemDomainTable, HoldsTheFixedCodesInMemberOrder) {
  std::vector<int> codes;
  for (const FixedDomainSlot& slot : SystemDomainTable().fixed) codes.push_back(slot.code);
  EXPECT_EQ(codes, (std::vector<int>{0, 1, 2, 3, 4, 5, 9, 7, 8, 50, 11, 12, 13}));
}

TEST(SystemDomainTable, EveryCodeHasItsDomain) {
  for (const FixedDomainSlot& slot : SystemDomainTable().fixed) {
    EXPECT_NE(slot.create, nullptr) << slot.code;
  }
  EXPECT_NE(SystemDomainTable().emr_type, nullptr);
}

// The registry over the embedded database with the real schema.
class DomainManagerTest : public ::testing::Test {
 protected:
  DomainManagerTest() : source_(FromUtf8(database_.init_string()), u"oracle") {}

  // The registry's answer, which must never be a null BSTR.
  std::u16string Ask(CBDomainManager& registry, const char16_t* patient, const char16_t* event,
                     int code, const char16_t* key) {
    ScopedBstr patient_id(patient), event_no(event), key_text(key), value;
    EXPECT_EQ(
        registry.GetValue(patient_id.get(), event_no.get(), code, key_text.get(), value.out()), 0);
    EXPECT_NE(value.get(), nullptr) << code;
    return value.text();
  }
  std::u16string Ask(CBDomainManager& registry, int code, const char16_t* key) {
    return Ask(registry, u"P1", u"E1", code, key);
  }
  std::u16string AskForEmr(CBDomainManager& registry, BSTR emr_id, int code, const char16_t* key) {
    ScopedBstr patient_id(u"P1"), event_no(u"E1"), key_text(key), value;
    EXPECT_EQ(registry.GetValueForEmr(patient_id.get(), event_no.get(), emr_id, code,
                                      key_text.get(), value.out()),
              0);
    EXPECT_NE(value.get(), nullptr);
    return value.text();
  }

  korvalis::schema::TestDatabase database_;
  CCommDataSource source_;
};

TEST_F(DomainManagerTest, CodesWithoutADomainAnswerAnEmptyText) {
  CBDomainManager registry(&source_);
  for (int code : {6, 10, 14, 49, 51, 100, -1, -5}) {
    EXPECT_EQ(Ask(registry, code, u"patient.sex"), u"") << code;
  }
}

TEST_F(DomainManagerTest, TheFirstLookupCreatesTheSystemsFixedDomainsForItsVisit) {
  database_.Execute(
      "INSERT INTO TELV_CRISIS_T (PATIENT_ID, EVENT_NO, REPORT_ID, REPORT_TIME, ITEM_CODE, VAL) "
      "VALUES ('P1', 'E1', 'R1', " +
      korvalis::schema::SqlDate("2009-03-01 10:00:00") + ", 'K', '6.8')");
  CBDomainManager registry(&source_);
  EXPECT_EQ(Ask(registry, u"P1", u"E1", 6, u"crisis.1.val"), u"");
  // The critical-value domain was created by that lookup, for its visit.
  EXPECT_EQ(Ask(registry, u"P2", u"E2", 13, u"crisis.1.val"), u"6.8");
}

// ---- The registry's procedure, on a table of recording domains ----

Journal& Events() {
  static Journal events;
  return events;
}

// How the next Load of a recording domain ends.
enum class LoadFailure { kNone, kBeforeStoring, kAfterStoring };
LoadFailure& NextLoadFailure() {
  static LoadFailure failure = LoadFailure::kNone;
  return failure;
}

// A cached domain that reads the system parameters of the database: key "param.<NAME>" is the
// parameter's value, "visit" the domain's visit, "emrid" the EMR id it was created with.
class RecordingDomain : public CBCachedDomain {
 public:
  RecordingDomain(BSTR patient_id, BSTR event_no, std::string name, std::u16string emr_id)
      : CBCachedDomain(patient_id, event_no), name_(std::move(name)), emr_id_(std::move(emr_id)) {
    Events().push_back("create " + name_ + " " + ToUtf8(korvalis::BstrView(patient_id)));
  }
  ~RecordingDomain() override { Events().push_back("delete " + name_); }

 protected:
  void Load(CSingleDataSource* source) override {
    Events().push_back("load " + name_);
    std::vector<std::u16string> rows;
    source->Query(u"SELECT NAME, VALUE FROM TELV_SYS_PARAM", 2, rows);
    const LoadFailure failure = NextLoadFailure();
    if (failure == LoadFailure::kBeforeStoring) {
      throw CEMRException(std::u16string(u"数据源不可用"));
    }
    Store(u"visit", std::u16string(korvalis::BstrView(patient_id())) + u"|" +
                        std::u16string(korvalis::BstrView(event_no())));
    Store(u"emrid", emr_id_);
    if (failure == LoadFailure::kAfterStoring) throw CEMRException(std::u16string(u"读取中断"));
    for (std::size_t i = 0; i + 1 < rows.size(); i += 2) Store(u"param." + rows[i], rows[i + 1]);
  }

 private:
  std::string name_;
  std::u16string emr_id_;
};

template <int Code>
std::unique_ptr<CBEMRDomain> CreateRecording(BSTR patient_id, BSTR event_no,
                                             const std::u16string& emr_id) {
  return std::make_unique<RecordingDomain>(patient_id, event_no, std::to_string(Code), emr_id);
}

std::unique_ptr<CBEMRDomain> CreateRecordingType(BSTR patient_id, BSTR event_no, int emr_type) {
  return std::make_unique<RecordingDomain>(patient_id, event_no, "type" + std::to_string(emr_type),
                                           u"");
}

constexpr DomainTable kRecordingTable = {
    .fixed = {{{0, CreateRecording<0>},
               {1, CreateRecording<1>},
               {2, CreateRecording<2>},
               {3, CreateRecording<3>},
               {4, CreateRecording<4>},
               {5, CreateRecording<5>},
               {9, CreateRecording<9>},
               {7, CreateRecording<7>},
               {8, CreateRecording<8>},
               {50, CreateRecording<50>},
               {11, CreateRecording<11>},
               {12, CreateRecording<12>},
               {13, CreateRecording<13>}}},
    .emr_type = CreateRecordingType,
};

class DomainProcedureTest : public DomainManagerTest {
 protected:
  DomainProcedureTest() {
    Events().clear();
    NextLoadFailure() = LoadFailure::kNone;
  }
  // The events that begin with `prefix`.
  Journal EventsOf(const std::string& prefix) {
    Journal selected;
    for (const std::string& event : Events()) {
      if (event.rfind(prefix, 0) == 0) selected.push_back(event);
    }
    return selected;
  }
};

TEST_F(DomainProcedureTest, FirstLookupCreatesEveryFixedDomainForItsVisitAndKeepsThem) {
  CBDomainManager registry(&source_, kRecordingTable);
  // A code without a domain creates the fixed domains but asks none of them.
  EXPECT_EQ(Ask(registry, u"P1", u"E1", 6, u"visit"), u"");
  EXPECT_EQ(EventsOf("create"),
            (Journal{"create 0 P1", "create 1 P1", "create 2 P1", "create 3 P1", "create 4 P1",
                     "create 5 P1", "create 9 P1", "create 7 P1", "create 8 P1", "create 50 P1",
                     "create 11 P1", "create 12 P1", "create 13 P1"}));
  // Another visit on the same registry is answered for the first one.
  EXPECT_EQ(Ask(registry, u"P2", u"E2", 1, u"visit"), u"P1|E1");
  EXPECT_EQ(Ask(registry, u"P2", u"E2", 13, u"visit"), u"P1|E1");
  EXPECT_EQ(EventsOf("create").size(), 13u);
}

TEST_F(DomainProcedureTest, CodesWithoutADomainAskNoneAndCreateNone) {
  CBDomainManager registry(&source_, kRecordingTable);
  for (int code : {6, 10, 100, -1, -5, 14, 49, 51}) {
    EXPECT_EQ(Ask(registry, code, u"visit"), u"") << code;
  }
  EXPECT_EQ(EventsOf("load"), Journal{});
  EXPECT_EQ(EventsOf("create type"), Journal{});
}

TEST_F(DomainProcedureTest, ACachedDomainReadsItsSourceOnce) {
  database_.SetSysParam("system_version", "5.2");
  CBDomainManager registry(&source_, kRecordingTable);
  // A key the domain does not hold, asked first, still makes it read once.
  EXPECT_EQ(Ask(registry, 0, u"param.unknown"), u"");
  EXPECT_EQ(Ask(registry, 0, u"param.system_version"), u"5.2");
  EXPECT_EQ(Ask(registry, 0, u"param.unknown"), u"");
  // Keys are compared with case.
  EXPECT_EQ(Ask(registry, 0, u"param.SYSTEM_VERSION"), u"");
  EXPECT_EQ(EventsOf("load"), Journal{"load 0"});
  // Each domain has its own cache, read by its own first lookup.
  EXPECT_EQ(Ask(registry, 12, u"param.system_version"), u"5.2");
  EXPECT_EQ(Ask(registry, 12, u"visit"), u"P1|E1");
  EXPECT_EQ(EventsOf("load"), (Journal{"load 0", "load 12"}));
}

TEST_F(DomainProcedureTest, AFailedReadPassesThroughAndIsRetriedOnlyWhenNothingWasStored) {
  CBDomainManager registry(&source_, kRecordingTable);
  database_.SetSysParam("system_version", "5.2");
  NextLoadFailure() = LoadFailure::kBeforeStoring;
  try {
    Ask(registry, 2, u"visit");
    ADD_FAILURE() << "no exception";
  } catch (const CEMRException& e) {
    EXPECT_EQ(e.GetText(), u"数据源不可用");
  }
  NextLoadFailure() = LoadFailure::kAfterStoring;
  EXPECT_THROW(Ask(registry, 2, u"visit"), CEMRException);
  // The keys stored before the failure stay, and the source is not read again.
  NextLoadFailure() = LoadFailure::kNone;
  EXPECT_EQ(Ask(registry, 2, u"visit"), u"P1|E1");
  EXPECT_EQ(Ask(registry, 2, u"param.system_version"), u"");
  EXPECT_EQ(EventsOf("load"), (Journal{"load 2", "load 2"}));
  // The registry and its other domains stay usable.
  EXPECT_EQ(Ask(registry, 3, u"param.system_version"), u"5.2");
}

TEST_F(DomainProcedureTest, CodesAboveOneHundredGetOneDomainPerFullCode) {
  CBDomainManager registry(&source_, kRecordingTable);
  EXPECT_EQ(Ask(registry, 101, u"visit"), u"P1|E1");
  EXPECT_EQ(Ask(registry, u"P2", u"E2", 200, u"visit"), u"P2|E2");
  EXPECT_EQ(Ask(registry, 105, u"visit"), u"P1|E1");
  EXPECT_EQ(Ask(registry, 205, u"visit"), u"P1|E1");
  EXPECT_EQ(Ask(registry, 105, u"emrid"), u"");
  EXPECT_EQ(EventsOf("create type"),
            (Journal{"create type1 P1", "create type0 P2", "create type5 P1", "create type5 P1"}));
  EXPECT_EQ(EventsOf("load type"),
            (Journal{"load type1", "load type0", "load type5", "load type5"}));
}

TEST_F(DomainProcedureTest, TheExtensionDomainKeepsTheEmrIdOfTheLookupThatCreatedIt) {
  {
    CBDomainManager registry(&source_, kRecordingTable);
    ScopedBstr first(u"R1"), second(u"R2");
    EXPECT_EQ(AskForEmr(registry, first.get(), 50, u"emrid"), u"R1");
    EXPECT_EQ(AskForEmr(registry, second.get(), 50, u"emrid"), u"R1");
    EXPECT_EQ(Ask(registry, 0, u"emrid"), u"");
  }
  {
    // A lookup on behalf of a record after a plain lookup sets no EMR id.
    CBDomainManager registry(&source_, kRecordingTable);
    EXPECT_EQ(Ask(registry, 0, u"visit"), u"P1|E1");
    ScopedBstr emr_id(u"R1");
    EXPECT_EQ(AskForEmr(registry, emr_id.get(), 50, u"emrid"), u"");
  }
  {
    CBDomainManager registry(&source_, kRecordingTable);
    EXPECT_EQ(AskForEmr(registry, nullptr, 50, u"emrid"), u"");
    EXPECT_EQ(AskForEmr(registry, nullptr, 0, u"visit"), u"P1|E1");
  }
}

TEST_F(DomainProcedureTest, NullOutParameterAndNullKey) {
  CBDomainManager registry(&source_, kRecordingTable);
  ScopedBstr patient_id(u"P1"), event_no(u"E1"), key(u"visit");
  EXPECT_EQ(registry.GetValue(patient_id.get(), event_no.get(), 0, key.get(), nullptr), 0);
  EXPECT_EQ(
      registry.GetValueForEmr(patient_id.get(), event_no.get(), nullptr, 0, key.get(), nullptr), 0);
  // A null key is the empty text, a key no domain holds.
  ScopedBstr value;
  EXPECT_EQ(registry.GetValue(patient_id.get(), event_no.get(), 0, nullptr, value.out()), 0);
  ASSERT_NE(value.get(), nullptr);
  EXPECT_EQ(value.text(), u"");
  EXPECT_EQ(Ask(registry, 0, u"visit"), u"P1|E1");
}

TEST_F(DomainProcedureTest, DestructionDeletesTheEmrTypeDomainsThenTheFixedOnesInReverse) {
  {
    CBDomainManager registry(&source_, kRecordingTable);
    Ask(registry, 103, u"visit");
    Ask(registry, 0, u"visit");
    Events().clear();
  }
  EXPECT_EQ(Events(), (Journal{"delete type3", "delete 13", "delete 12", "delete 11", "delete 50",
                               "delete 8", "delete 7", "delete 9", "delete 5", "delete 4",
                               "delete 3", "delete 2", "delete 1", "delete 0"}));
}

}  // namespace
