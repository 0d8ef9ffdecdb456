// The stand-in components end to end: registered by their library in a registry file of the
// test's own, configured from a file, created through a factory and called through their
// interfaces.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>

#include "db/testing/temp_directory.h"
#include "db/testing/test_database.h"
#include "foundation/testing/data_source_test_util.h"
#include "foundation/calls/emr_error.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/suite/factory.h"
#include "foundation/text/string_util.h"
#include "foundation/suite/suite_interfaces.h"
#include "platform/com/bstr.h"
#include "platform/com/object_creation.h"
#include "platform/com/registry.h"
#include "platform/sys/testing/private_mode.h"
#include "platform/text/unicode.h"
#include "suite/components.h"
#include "suite/date_time_component.h"
#include "suite/sample_config.h"
#include "suite/suite_config.h"

namespace {

namespace fs = std::filesystem;
using korvalis::BstrView;

// An interface pointer released at the end of the scope.
template <class Interface>
class Component {
 public:
  explicit Component(CSingleFactory& factory, const IID& iid) {
    factory.CreateInstance(iid, reinterpret_cast<void**>(&pointer_));
  }
  ~Component() { pointer_->Release(); }
  Interface* operator->() const { return pointer_; }
  Interface* get() const { return pointer_; }

 private:
  Interface* pointer_ = nullptr;
};

// Calls `call` with a fresh out BSTR and returns its text; a failed call throws as the
// system's callers do.
template <class Call>
std::u16string Text(Call call) {
  BSTR out = nullptr;
  HRESULT hr = call(&out);
  std::u16string text(BstrView(out));
  SysFreeString(out);
  CheckSiblingCall(hr);
  return text;
}

BSTR B(std::u16string_view text) { return korvalis::AllocBstr(text); }

// A BSTR argument freed at the end of the full expression.
struct Arg {
  explicit Arg(std::u16string_view text) : bstr(B(text)) {}
  ~Arg() { SysFreeString(bstr); }
  operator BSTR() const { return bstr; }
  BSTR bstr;
};

std::u16string InterfaceList() {
  std::u16string list;
  for (const korvalis::suite::StandInClass& c : korvalis::suite::StandInClasses()) {
    if (c.iid == &IID_ISuiteRegistry) continue;
    list += u"<interface iid=\"" + korvalis::GuidToString(*c.iid) + u"\" clsid=\"" +
            korvalis::GuidToString(c.clsid) + u"\"/>";
  }
  return list;
}

class SuiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("KORVALIS_REGISTRY", (directory_ / "registry").c_str(), 1);
    ::setenv("KORVALIS_SUITE_CONFIG", (directory_ / "suite.config.xml").c_str(), 1);
    fs::create_directory(directory_ / "his");
    auto register_server = reinterpret_cast<DllRegisterServerFn>(
        korvalis::com::FindLibraryExport(KORVALIS_SUITE_MODULE, "DllRegisterServer", nullptr));
    ASSERT_NE(register_server, nullptr);
    ASSERT_EQ(register_server(), S_OK);
    WriteConfig(u"");
  }

  void TearDown() override {
    ::unsetenv("KORVALIS_REGISTRY");
    ::unsetenv("KORVALIS_SUITE_CONFIG");
  }

  // The configuration with the stand-ins' list, the database and `more` elements.
  void WriteConfig(const std::u16string& more) {
    std::ofstream(directory_ / "suite.config.xml")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<suite>\n<interfaces>"
        << korvalis::ToUtf8(InterfaceList()) << "</interfaces>\n<database>"
        << database_.init_string() << "</database>\n<visits dir=\"his\"/>\n"
        << korvalis::ToUtf8(more) << "</suite>\n";
  }

  void WriteVisit(const std::string& patient, const std::string& event,
                  const std::string& content) {
    fs::create_directories(directory_ / "his" / patient);
    std::ofstream(directory_ / "his" / patient / (event + ".xml")) << content;
  }

  korvalis::testing::TempDirectory scratch_{"korvalis-suite"};
  const fs::path directory_ = scratch_.path();
  korvalis::schema::TestDatabase database_;
  CSingleFactory factory_;
};

TEST_F(SuiteTest, RegistrationNamesTheLibraryForEveryClassAndUnregistrationRemovesThem) {
  korvalis::com::RegistryKey root;
  ASSERT_EQ(korvalis::com::RegistryFile().Read(&root), S_OK);
  for (const korvalis::suite::StandInClass& c : korvalis::suite::StandInClasses()) {
    const korvalis::com::RegistryKey* server = root.Find(
        u"CLSID\\" + korvalis::GuidToRegistryString(c.clsid) + u"\\InprocServer32");
    ASSERT_NE(server, nullptr) << korvalis::ToUtf8(c.name);
    EXPECT_EQ(*server->Value(u""), korvalis::FromUtf8(KORVALIS_SUITE_MODULE));
    EXPECT_EQ(*server->Value(u"ThreadingModel"), u"Both");
  }

  auto unregister = reinterpret_cast<DllUnregisterServerFn>(
      korvalis::com::FindLibraryExport(KORVALIS_SUITE_MODULE, "DllUnregisterServer", nullptr));
  ASSERT_EQ(unregister(), S_OK);
  ASSERT_EQ(korvalis::com::RegistryFile().Read(&root), S_OK);
  for (const korvalis::suite::StandInClass& c : korvalis::suite::StandInClasses()) {
    EXPECT_EQ(root.Find(u"CLSID\\" + korvalis::GuidToRegistryString(c.clsid)), nullptr);
  }
}

TEST_F(SuiteTest, ComponentsAnswerTheirInterfacesAndRefuseLateBoundCalls) {
  Component<IHISPatientInfo> his(factory_, IID_IHISPatientInfo);
  IUnknown* unknown = nullptr;
  IDispatch* dispatch = nullptr;
  ASSERT_EQ(his->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  ASSERT_EQ(his->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
  void* other = nullptr;
  EXPECT_EQ(his->QueryInterface(IID_ISecurityService, &other), E_NOINTERFACE);
  UINT count = 1;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
            E_NOTIMPL);
  EXPECT_EQ(his->Reserved8(), E_NOTIMPL);
  EXPECT_EQ(his->Reserved24(), E_NOTIMPL);
  dispatch->Release();
  unknown->Release();

  IUnknown* outer = his.get();
  EXPECT_EQ(CoCreateInstance(korvalis::suite::StandInClasses()[1].clsid, outer, 1, IID_IUnknown,
                             &other),
            CLASS_E_NOAGGREGATION);
}

TEST_F(SuiteTest, DateTimeIsTheFixedTimeOrTheSystemClock) {
  Component<IDateTimeService> clock(factory_, IID_IDateTimeService);
  std::u16string now = Text([&](BSTR* out) { return clock->GetDateTime(out); });
  ASSERT_TRUE(korvalis::suite::IsDateTimeText(now)) << korvalis::ToUtf8(now);
  std::tm parsed{};
  ASSERT_NE(strptime(korvalis::ToUtf8(now).c_str(), "%Y-%m-%d %H:%M:%S", &parsed), nullptr);
  parsed.tm_isdst = -1;
  EXPECT_LT(std::abs(std::difftime(std::mktime(&parsed), std::time(nullptr))), 120.0);

  WriteConfig(u"<datetime fixed=\"2026-12-07 09:30:00\"/>");
  EXPECT_EQ(Text([&](BSTR* out) { return clock->GetDateTime(out); }), u"2026-12-07 09:30:00");
  Component<IServerDateTime> server(factory_, IID_IServerDateTime);
  EXPECT_EQ(Text([&](BSTR* out) { return server->GetDateTime(out); }), u"2026-12-07 09:30:00");

  for (std::u16string_view wrong : {u"2026-13-07 09:30:00", u"2026-12-00 09:30:00",
                                    u"2026-12-07 24:00:00", u"2026-12-07 09:60:00",
                                    u"2026-02-29 09:30:00", u"2026-04-31 09:30:00"}) {
    EXPECT_FALSE(korvalis::suite::IsDateTimeText(wrong)) << korvalis::ToUtf8(wrong);
  }
  EXPECT_TRUE(korvalis::suite::IsDateTimeText(u"2028-02-29 09:30:00"));
  // A clock that is no date is refused by name, and the refusal is in the event log for the
  // callers that answer a failure as an empty list.
  for (std::u16string_view wrong : {u"2026-12-07T09:30", u"2026-99-99"}) {
    korvalis::datasource::testing::EventLogCapture events;
    WriteConfig(u"<datetime fixed=\"" + std::u16string(wrong) + u"\"/>");
    const std::u16string refusal =
        u"日期时间配置格式错误: <datetime fixed=\"" + std::u16string(wrong) + u"\">";
    try {
      Text([&](BSTR* out) { return clock->GetDateTime(out); });
      ADD_FAILURE() << "a fixed time of another form was answered";
    } catch (const CEMRException& e) {
      EXPECT_EQ(e.GetText(), refusal);
    }
    const auto records = events.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].text, korvalis::FromUtf8(korvalis::suite::SuiteConfig::Path()) + u": " +
                                   refusal);
  }
}

TEST_F(SuiteTest, TheConfigurationIsParsedOnceAndAgainWhenTheFileChanges) {
  using korvalis::suite::SuiteConfig;
  const std::shared_ptr<const SuiteConfig> first = SuiteConfig::Load();
  EXPECT_EQ(SuiteConfig::Load(), first);
  // Changed at once, to a text of the same length: read anew all the same.
  for (const char16_t* value : {u"1", u"2", u"3"}) {
    WriteConfig(u"<parameters><parameter name=\"x\">" + std::u16string(value) +
                u"</parameter></parameters>");
    const std::shared_ptr<const SuiteConfig> changed = SuiteConfig::Load();
    EXPECT_EQ(changed->parameters.at(u"x"), value);
    EXPECT_EQ(SuiteConfig::Load(), changed);
  }
}

TEST_F(SuiteTest, AMissingConfigurationIsTheRegistryComponentsError) {
  fs::remove(directory_ / "suite.config.xml");
  try {
    void* clock = nullptr;
    factory_.CreateInstance(IID_IDateTimeService, &clock);
    FAIL() << "created without a configuration";
  } catch (const CEMRException& e) {
    EXPECT_EQ(e.GetTextA(), "组件配置文件无法读取: " + (directory_ / "suite.config.xml").string());
  }
}

TEST_F(SuiteTest, PatientInformationComesFromTheVisitsFile) {
  WriteVisit("P1", "E1",
             "<visit><residence_no>R0001</residence_no>"
             "<in_out><root><in><dept time=\"2026-01-05 08:00:00\">0101</dept></in></root></in_out>"
             "<discharged>1</discharged><fee_list><root><fee code=\"01\">12.5</fee></root></fee_list>"
             "<clinic_reg><root><caseno>C1</caseno></root></clinic_reg></visit>");
  Component<IHISPatientInfo> his(factory_, IID_IHISPatientInfo);
  Arg p1(u"P1"), e1(u"E1"), e2(u"E2");
  EXPECT_EQ(Text([&](BSTR* out) { return his->GetResidenceNo(p1, e1, out); }), u"R0001");
  EXPECT_EQ(Text([&](BSTR* out) { return his->GetInOutInfo(p1, e1, out); }),
            u"<root><in><dept time=\"2026-01-05 08:00:00\">0101</dept></in></root>");
  EXPECT_EQ(Text([&](BSTR* out) { return his->GetFeeList(p1, e1, out); }),
            u"<root><fee code=\"01\">12.5</fee></root>");
  EXPECT_EQ(Text([&](BSTR* out) { return his->GetDiagnosisInfo(p1, e1, out); }), u"<root/>");
  VARIANT_BOOL discharged = VARIANT_FALSE;
  EXPECT_EQ(his->IsDischarged(p1, e1, &discharged), S_OK);
  EXPECT_EQ(discharged, VARIANT_TRUE);

  // A visit without a file has no data.
  EXPECT_EQ(Text([&](BSTR* out) { return his->GetResidenceNo(p1, e2, out); }), u"");
  EXPECT_EQ(Text([&](BSTR* out) { return his->GetOperationInfo(p1, e2, out); }), u"<root/>");
  EXPECT_EQ(his->IsDischarged(p1, e2, &discharged), S_OK);
  EXPECT_EQ(discharged, VARIANT_FALSE);

  Component<IHISClinicInfo> clinic(factory_, IID_IHISClinicInfo);
  EXPECT_EQ(Text([&](BSTR* out) { return clinic->GetRegInfo(p1, e1, out); }),
            u"<root><caseno>C1</caseno></root>");
  EXPECT_EQ(clinic->Reserved10(), E_NOTIMPL);
}

TEST_F(SuiteTest, VisitIdentifiersNeverReachFilesOutsideTheVisitsDirectory) {
  fs::create_directories(directory_ / "secret");
  std::ofstream(directory_ / "secret" / "1.xml") << "<visit><residence_no>LEAK</residence_no></visit>";
  WriteVisit("x", "1", "<visit><residence_no>R</residence_no></visit>");
  Component<IHISPatientInfo> his(factory_, IID_IHISPatientInfo);
  for (std::u16string_view patient : {u"../secret", u"..", u"a/../../secret", u""}) {
    Arg p(patient), e(u"1");
    EXPECT_EQ(Text([&](BSTR* out) { return his->GetResidenceNo(p, e, out); }), u"")
        << korvalis::ToUtf8(patient);
  }
  Arg x(u"x"), secret(u"../secret/1"), dots(u"..");
  EXPECT_EQ(Text([&](BSTR* out) { return his->GetResidenceNo(x, secret, out); }), u"");
  EXPECT_EQ(Text([&](BSTR* out) { return his->GetResidenceNo(dots, dots, out); }), u"");
  Arg one(u"1");
  EXPECT_EQ(Text([&](BSTR* out) { return his->GetResidenceNo(x, one, out); }), u"R");
}

TEST_F(SuiteTest, AVisitFileThatIsNotXmlFailsWithItsName) {
  WriteVisit("P1", "E1", "<visit><residence_no>");
  Component<IHISPatientInfo> his(factory_, IID_IHISPatientInfo);
  Arg p1(u"P1"), e1(u"E1");
  try {
    Text([&](BSTR* out) { return his->GetResidenceNo(p1, e1, out); });
    FAIL() << "a broken visit file was answered";
  } catch (const CEMRException& e) {
    EXPECT_EQ(e.GetTextA(), "组件配置文件格式错误: " + (directory_ / "his" / "P1" / "E1.xml").string());
  }
}

TEST_F(SuiteTest, DepartmentsAndHospitalsComeFromTheConfiguration) {
  WriteConfig(
      u"<hospitals><hospital id=\"H1\" name=\"示例市人民医院\"/></hospitals>"
      u"<departments><dept id=\"0101\" name=\"心血管内科\" hospital=\"H1\"/>"
      u"<dept id=\"0201\" name=\"普外科 &amp; 急诊\" hospital=\"H2\"/></departments>");
  Component<IHISDepartment> department(factory_, IID_IHISDepartment);
  Arg d0101(u"0101"), d9(u"9999");
  EXPECT_EQ(Text([&](BSTR* out) { return department->GetDeptInfo(d0101, out); }),
            u"<root><name>心血管内科</name><hospital>H1</hospital></root>");
  EXPECT_EQ(Text([&](BSTR* out) { return department->GetDeptInfo(d9, out); }), u"<root/>");

  Component<IHISHospital> hospital(factory_, IID_IHISHospital);
  Arg h1(u"H1"), all(u"-10000"), empty(u"");
  EXPECT_EQ(Text([&](BSTR* out) { return hospital->GetHospitalInfo(h1, out); }),
            u"<root><name>示例市人民医院</name></root>");
  const std::u16string every =
      u"<root><dept id=\"0101\" hospital=\"H1\">心血管内科</dept>"
      u"<dept id=\"0201\" hospital=\"H2\">普外科 &amp; 急诊</dept></root>";
  EXPECT_EQ(Text([&](BSTR* out) { return hospital->GetDeptList(all, out); }), every);
  EXPECT_EQ(Text([&](BSTR* out) { return hospital->GetDeptDict(empty, out); }), every);
  EXPECT_EQ(Text([&](BSTR* out) { return hospital->GetDeptList(h1, out); }),
            u"<root><dept id=\"0101\" hospital=\"H1\">心血管内科</dept></root>");
}

TEST_F(SuiteTest, DictionariesNoticesAndParameters) {
  WriteConfig(
      u"<dictionaries><dictionary number=\"2\"><root><item id=\"1\">汉族</item></root>"
      u"</dictionary></dictionaries>"
      u"<notices><notice dept=\"0101\" user=\"\">科室通知</notice>"
      u"<notice dept=\"\" user=\"1001\">个人通知</notice>"
      u"<notice dept=\"0201\" user=\"\">别的科室</notice></notices>"
      u"<parameters><parameter name=\"inpatient_commit_timeout\">72;1</parameter></parameters>");
  Component<IDictionaryService> dictionary(factory_, IID_IDictionaryService);
  EXPECT_EQ(Text([&](BSTR* out) { return dictionary->GetDictionary2(out); }),
            u"<root><item id=\"1\">汉族</item></root>");
  EXPECT_EQ(Text([&](BSTR* out) { return dictionary->GetDictionary7(out); }), u"<root/>");

  Component<INoticeService> notices(factory_, IID_INoticeService);
  Arg d0101(u"0101"), u1001(u"1001"), u1002(u"1002");
  EXPECT_EQ(Text([&](BSTR* out) { return notices->GetNotifyMessage(d0101, u1001, out); }),
            u"<root><notice>科室通知</notice><notice>个人通知</notice></root>");
  EXPECT_EQ(Text([&](BSTR* out) { return notices->GetNotifyMessage(d0101, u1002, out); }),
            u"<root><notice>科室通知</notice></root>");

  Component<IWorkListParam> parameters(factory_, IID_IWorkListParam);
  Arg known(u"inpatient_commit_timeout"), unknown(u"inrollbackpatient_commit_timeout");
  EXPECT_EQ(Text([&](BSTR* out) { return parameters->GetParam(known, out); }), u"72;1");
  BSTR unset = nullptr;
  EXPECT_EQ(parameters->GetParam(unknown, &unset), S_OK);
  EXPECT_EQ(unset, nullptr);
}

TEST_F(SuiteTest, RecordPlanAndVisitDataComeFromTheVisitsFile) {
  WriteVisit("P1", "E1",
             "<visit><record_plan><root><record id=\"1\" code=\"E01\" timeout=\"24\">入院记录"
             "</record></root></record_plan>"
             "<data key=\"emr.residence.diagnosis.first\">急性心肌梗死</data></visit>");
  Arg p1(u"P1"), e1(u"E1"), e2(u"E2");
  Component<IRecordPlan> plan(factory_, IID_IRecordPlan);
  EXPECT_EQ(Text([&](BSTR* out) { return plan->GetRecordPlan(p1, e1, out); }),
            u"<root><record code=\"E01\" id=\"1\" timeout=\"24\">入院记录</record></root>");
  EXPECT_EQ(Text([&](BSTR* out) { return plan->GetRecordPlan(p1, e2, out); }), u"<root/>");
  EXPECT_EQ(plan->Reserved12(), E_NOTIMPL);

  Component<IVisitData> data(factory_, IID_IVisitData);
  Arg key(u"emr.residence.diagnosis.first"), other(u"emr.other");
  BSTR value = B(u"");
  EXPECT_EQ(data->GetVisitData(p1, e1, 5, key, &value), S_OK);
  EXPECT_EQ(BstrView(value), u"急性心肌梗死");
  EXPECT_EQ(data->GetVisitData(p1, e1, 5, other, &value), S_OK);
  EXPECT_EQ(BstrView(value), u"急性心肌梗死");
  EXPECT_EQ(data->GetVisitData(p1, e2, 5, key, &value), S_OK);
  EXPECT_EQ(BstrView(value), u"急性心肌梗死");
  SysFreeString(value);

  // Created only, never called.
  Component<IWorkListService> work_list(factory_, IID_IWorkListService);
  EXPECT_NE(work_list.get(), nullptr);
}

class SecurityTest : public SuiteTest {
 protected:
  void SetUp() override {
    SuiteTest::SetUp();
    database_.AddStaff({.id = "1001", .name = "张'明远", .login = "zhangmy",
                        .password_digest = "CE0BFD15059B68D67688884D7A3D3E8C",  // "123456"
                        .title_id = "13", .identity = "13", .super_level = "9"});
    database_.AddStaff({.id = "1002", .name = "刘静怡", .login = "liujy",
                        .password_digest = "CE0BFD15059B68D67688884D7A3D3E8C",
                        .valid_flag = "0"});
  }
};

TEST_F(SecurityTest, UsersAndTheirPropertiesComeFromTheStaffTables) {
  Component<ISecurityService> security(factory_, IID_ISecurityService);
  Arg login(u"zhangmy"), stranger(u"nobody"), injected(u"x' OR '1'='1"), invalid(u"liujy");
  EXPECT_EQ(Text([&](BSTR* out) { return security->GetUserIdByLoginCode(login, out); }),
            u"1001");
  EXPECT_EQ(Text([&](BSTR* out) { return security->GetUserIdByLoginCode(stranger, out); }), u"");
  EXPECT_EQ(Text([&](BSTR* out) { return security->GetUserIdByLoginCode(injected, out); }), u"");
  EXPECT_EQ(Text([&](BSTR* out) { return security->GetUserIdByLoginCode(invalid, out); }), u"");

  Arg u1001(u"1001"), u1002(u"1002");
  EXPECT_EQ(Text([&](BSTR* out) { return security->GetUserProperty(u1001, out); }),
            u"<root><admin>1</admin><dutytitle></dutytitle><identity>13</identity>"
            u"<name>张&apos;明远</name><py></py><sex>男</sex><techtitle>13</techtitle><wb></wb>"
            u"</root>");
  EXPECT_EQ(Text([&](BSTR* out) { return security->GetUserProperty(u1002, out); }), u"");
  EXPECT_EQ(security->Reserved8(), E_NOTIMPL);

  Component<IUserProperty> users(factory_, IID_IUserProperty);
  EXPECT_EQ(Text([&](BSTR* out) { return users->GetUserProperty(u1002, out); }), u"<root/>");
}

TEST_F(SecurityTest, PasswordsPassOnlyRightValidAndWithinTheirWindow) {
  Component<ISecurityService> security(factory_, IID_ISecurityService);
  auto check = [&](std::u16string_view login, std::u16string_view password) {
    Arg l(login), p(password);
    VARIANT_BOOL pass = VARIANT_TRUE;
    CheckSiblingCall(security->CheckPassword(l, p, &pass));
    return pass;
  };
  EXPECT_EQ(check(u"zhangmy", u"123456"), VARIANT_TRUE);
  EXPECT_EQ(check(u"zhangmy", u"654321"), VARIANT_FALSE);
  EXPECT_EQ(check(u"liujy", u"123456"), VARIANT_FALSE);
  EXPECT_EQ(check(u"x' OR '1'='1", u"123456"), VARIANT_FALSE);

  database_.Execute(
      "UPDATE TELV_USER_TABLE SET PWD_EXPIRE_DATE = TO_DATE('2001-01-01 00:00:00', "
      "'YYYY-MM-DD HH24:MI:SS') WHERE ID = '1001'");
  EXPECT_EQ(check(u"zhangmy", u"123456"), VARIANT_FALSE);
}

TEST_F(SecurityTest, AConfigurationWithoutADatabaseFailsWithItsPath) {
  std::ofstream(directory_ / "suite.config.xml")
      << "<suite><interfaces>" << korvalis::ToUtf8(InterfaceList()) << "</interfaces></suite>";
  Component<ISecurityService> security(factory_, IID_ISecurityService);
  Arg login(u"zhangmy");
  try {
    Text([&](BSTR* out) { return security->GetUserIdByLoginCode(login, out); });
    FAIL() << "answered without a database";
  } catch (const CEMRException& e) {
    EXPECT_EQ(e.GetTextA(),
              "组件配置文件没有数据库连接: " + (directory_ / "suite.config.xml").string());
  }
}

}  // namespace

namespace {

TEST(SampleConfigTest, TheSampleHospitalsConfigurationServesItsVisits) {
  korvalis::testing::TempDirectory scratch("korvalis-sample");
  const fs::path directory = scratch.path();
  const std::string init_string = "Provider=SQLite;Data Source=" + (directory / "k.db").string();
  {
    korvalis::sys::testing::ScopedUmask open_umask(0);
    ASSERT_TRUE(korvalis::suite::WriteSuiteConfig(directory, init_string, true));
  }
  // The configuration and the HIS files hold patient data: the owner's only.
  using korvalis::sys::testing::ModeOf;
  EXPECT_EQ(ModeOf((directory / "suite.config.xml").string()), 0600u);
  EXPECT_EQ(ModeOf((directory / "his").string()), 0700u);
  EXPECT_EQ(ModeOf((directory / "his" / "P0001").string()), 0700u);
  EXPECT_EQ(ModeOf((directory / "his" / "P0001" / "2026120101.xml").string()), 0600u);
  EXPECT_FALSE(korvalis::suite::WriteSuiteConfig(directory, "changed", false));

  std::ifstream in(directory / "suite.config.xml");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  korvalis::suite::SuiteConfig config =
      korvalis::suite::SuiteConfig::Parse(text, (directory / "suite.config.xml").string());
  EXPECT_EQ(config.database, init_string);
  EXPECT_EQ(config.fixed_datetime, u"");
  EXPECT_EQ(config.departments.size(), 6u);
  ASSERT_NE(config.FindDepartment(u"0101"), nullptr);
  EXPECT_EQ(config.FindDepartment(u"0101")->name, u"心血管内科");
  EXPECT_EQ(config.parameters[u"inpatient_commit_timeout"], u"72;1");
  // Every stand-in interface is listed, each once.
  for (const korvalis::suite::StandInClass& c : korvalis::suite::StandInClasses()) {
    if (c.iid == &IID_ISuiteRegistry) continue;
    const std::u16string iid = ToUpperAscii(korvalis::GuidToString(*c.iid));
    EXPECT_NE(config.interface_list.find(iid), std::u16string::npos) << korvalis::ToUtf8(c.name);
  }

  std::optional<korvalis::suite::VisitAnswers> in_hospital =
      config.LoadVisit(u"P0001", u"2026120101");
  ASSERT_TRUE(in_hospital);
  EXPECT_EQ(in_hospital->items[u"residence_no"], u"Z2026120101");
  EXPECT_EQ(in_hospital->items[u"discharged"], u"0");
  EXPECT_NE(in_hospital->items[u"record_plan"].find(u"入院记录"), std::u16string::npos);
  EXPECT_EQ(in_hospital->data[u"emr.residence.diagnosis.first"], u"急性心肌梗死");

  std::optional<korvalis::suite::VisitAnswers> discharged =
      config.LoadVisit(u"P0006", u"2026111001");
  ASSERT_TRUE(discharged);
  EXPECT_EQ(discharged->items[u"discharged"], u"1");
  EXPECT_NE(discharged->items[u"in_out"].find(u"2026-11-20 10:00:00"), std::u16string::npos);
  EXPECT_EQ(discharged->items.count(u"record_plan"), 0u);
  // Respiratory patients carry their out-patient visit; the others have none.
  EXPECT_EQ(discharged->items[u"clinic_reg"],
            u"<root><caseno>MZ2026111001</caseno><dept>呼吸内科门诊</dept></root>");
  EXPECT_NE(discharged->items[u"clinic_recipe"].find(u"阿莫西林胶囊"), std::u16string::npos);
  EXPECT_EQ(in_hospital->items.count(u"clinic_recipe"), 0u);
}

}  // namespace

namespace {

TEST_F(SecurityTest, ADatabaseThatCannotBeOpenedIsTheComponentsErrorNotACrash) {
  std::ofstream(directory_ / "suite.config.xml")
      << "<suite><interfaces>" << korvalis::ToUtf8(InterfaceList())
      << "</interfaces><database>Provider=Nowhere;Data Source=x</database></suite>";
  Component<ISecurityService> security(factory_, IID_ISecurityService);
  Arg login(u"zhangmy");
  BSTR out = nullptr;
  EXPECT_EQ(security->GetUserIdByLoginCode(login, &out), E_FAIL);
  EXPECT_EQ(out, nullptr);
  EXPECT_NE(CEMRRemoteError().GetError(), kUnknownSystemError);
}

}  // namespace
