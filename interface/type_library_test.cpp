#include "interface/type_library.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "interface/dept_qc_patient_interface.h"
#include "interface/emr_report_interface.h"
#include "interface/event_register_interface.h"
#include "interface/qc_task_interface.h"
#include "interface/quality_rule_interface.h"
#include "platform/com/guid.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::ToUtf8;
using korvalis::com::CoClassInfo;
using korvalis::com::InterfaceInfo;
using korvalis::com::MethodInfo;
using korvalis::com::ParamDirection;

const MethodInfo& Method(const InterfaceInfo& info, std::u16string_view name) {
  const MethodInfo* m = info.FindMethod(name);
  if (m == nullptr) throw std::runtime_error("no method " + ToUtf8(name));
  return *m;
}

TEST(TypeLibraryTest, EveryInterfaceTableIsSoundAndMatchesItsVirtualFunctions) {
  for (const CoClassInfo& c : kKorvalisTypeLibrary.coclasses) {
    EXPECT_EQ(korvalis::com::CheckInterfaceInfo(*c.interface), "") << ToUtf8(c.name);
  }
}

TEST(TypeLibraryTest, HoldsTwentyFourClassesWithThreeHundredTwentyEightMethods) {
  EXPECT_EQ(kKorvalisTypeLibrary.name, u"korvalisLib");
  EXPECT_EQ(kKorvalisTypeLibrary.major_version, 1);
  EXPECT_EQ(kKorvalisTypeLibrary.minor_version, 0);
  EXPECT_EQ(korvalis::GuidToRegistryString(kKorvalisTypeLibrary.libid),
            u"{70E00E12-28B2-44CA-BEBA-CDC02A7148A6}");
  ASSERT_EQ(kKorvalisTypeLibrary.coclasses.size(), 24u);
  size_t methods = 0;
  std::set<std::u16string> ids;
  for (const CoClassInfo& c : kKorvalisTypeLibrary.coclasses) {
    methods += c.interface->methods.size();
    EXPECT_EQ(c.help, std::u16string(c.name) + u" Class");
    EXPECT_EQ(c.interface->name, u"I" + std::u16string(c.name));
    ids.insert(korvalis::GuidToRegistryString(c.clsid));
    ids.insert(korvalis::GuidToRegistryString(c.interface->iid));
    EXPECT_EQ(kKorvalisTypeLibrary.FindCoClass(c.clsid), &c);
  }
  EXPECT_EQ(methods, 328u);
  EXPECT_EQ(ids.size(), 48u) << "class and interface identifiers must all differ";
  EXPECT_EQ(kKorvalisTypeLibrary.coclasses.front().name, u"EMRLibrary");
  EXPECT_EQ(kKorvalisTypeLibrary.coclasses.back().name, u"CoreSystem");
}

TEST(TypeLibraryTest, IdentifiersAreThoseClientsAreBuiltAgainst) {
  EXPECT_EQ(korvalis::GuidToRegistryString(IID_IQualityRule), u"{7BCFE3F9-8263-4F4F-82B5-BA1EF2BA051F}");
  EXPECT_EQ(korvalis::GuidToRegistryString(CLSID_QualityRule), u"{CEEB0A6D-0A18-4C3D-BD44-A97CFB0742A5}");
  EXPECT_EQ(korvalis::GuidToRegistryString(IID_IEMRReport), u"{7F3DD6EB-EA14-4399-BBD5-69F6914FCB80}");
  EXPECT_EQ(korvalis::GuidToRegistryString(CLSID_EMRReport), u"{7B9BD235-733E-4BF4-809E-C923670C21E1}");
}

TEST(TypeLibraryTest, QCTaskLeavesDispatchIdentifierSixUnused) {
  ASSERT_EQ(kIQCTaskInfo.methods.size(), 17u);
  EXPECT_EQ(kIQCTaskInfo.FindMethod(6), nullptr);
  EXPECT_EQ(Method(kIQCTaskInfo, u"GetTaskList").dispid, 5);
  EXPECT_EQ(Method(kIQCTaskInfo, u"GetPatientList").dispid, 7);
  EXPECT_EQ(kIQCTaskInfo.methods.back().dispid, 18);
}

TEST(TypeLibraryTest, HelpStringsKeepTheirIrregularities) {
  EXPECT_EQ(Method(kIEMRReportInfo, u"InitNewCatalog").help, u"method InitNewRuleCatalog");
  EXPECT_EQ(Method(kIEventRegisterInfo, u"RegisterEvent2").help, u"方法 RegisterEvent");
  EXPECT_EQ(Method(kIEventRegisterInfo, u"UnRegisterEvent").help, u"method UnRegisterEvent");
  EXPECT_EQ(Method(kIQualityRuleInfo, u"Close").help, u"method Close");
  EXPECT_EQ(kIQCTaskInfo.help, u"IQCTask Interface");
  EXPECT_EQ(kIEventRegisterInfo.help, u"IEventRegister 接口");
}

TEST(TypeLibraryTest, ParameterNamesKeepTheSpellingClientsPassByName) {
  EXPECT_EQ(Method(kIEMRReportInfo, u"SetReportProperty").params[0].name, u"lngReprotID");
  const MethodInfo& report = Method(kIDeptQCPatientInfo, u"GenerateQCReport");
  ASSERT_EQ(report.params.size(), 5u);
  EXPECT_EQ(report.params[3].name, u"pbstrReportID");
  EXPECT_EQ(report.params[3].direction, ParamDirection::kInOut);
  EXPECT_EQ(report.params[4].direction, ParamDirection::kOutRetval);
}

TEST(TypeLibraryTest, MethodsAreFoundByNameIgnoringCaseAndByDispatchIdentifier) {
  EXPECT_EQ(Method(kIEMRReportInfo, u"initnewcatalog").dispid, 1);
  EXPECT_EQ(Method(kIEMRReportInfo, u"GetReportData").dispid, 32);
  EXPECT_EQ(kIEMRReportInfo.FindMethod(32)->name, u"GetReportData");
  EXPECT_EQ(kIEMRReportInfo.FindMethod(u"GetCurrTime"), nullptr)
      << "the class's own extra operation is not part of the interface";
}

TEST(TypeLibraryTest, AWrapperFindsItsRowByTheNameItGivesItsCalls) {
  const MethodInfo* dispatch = FindWrappedMethod("CQCTask::DispatchPatient");
  ASSERT_NE(dispatch, nullptr);
  EXPECT_EQ(dispatch, &Method(kIQCTaskInfo, u"DispatchPatient"));
  EXPECT_EQ(dispatch->access, korvalis::com::DataAccess::kWrites);
  EXPECT_EQ(FindWrappedMethod("CQCTask::GetProperty")->access, korvalis::com::DataAccess::kReads);
  EXPECT_EQ(FindWrappedMethod("CEventRegister::RegisterEvent2"),
            &Method(kIEventRegisterInfo, u"RegisterEvent2"));
  EXPECT_EQ(FindWrappedMethod("QCTask::DispatchPatient"), nullptr);
  EXPECT_EQ(FindWrappedMethod("CQCTask::dispatchpatient"), nullptr);
  EXPECT_EQ(FindWrappedMethod("CQCTask::"), nullptr);
}

}  // namespace
