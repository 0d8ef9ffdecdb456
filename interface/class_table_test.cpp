// The identity of every class as clients and the registry know it, checked row by row against
// fixed tables: class and interface identifiers, registration script, threading model, TypeLib
// value, help strings, and every method's dispatch identifier, parameter names, types and
// directions. Clients are built against these values and pass parameter names as named
// arguments, so none of them may change.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "interface/class_registrations.h"
#include "interface/module.h"
#include "interface/registration_scripts.h"
#include "interface/type_library.h"
#include "platform/com/guid.h"
#include "platform/com/registrar.h"
#include "platform/text/unicode.h"

namespace {

using korvalis::GuidToRegistryString;
using korvalis::ToUtf8;
using korvalis::com::ClassRegistration;
using korvalis::com::CoClassInfo;
using korvalis::com::ParamDirection;
using korvalis::com::RegistryKey;

struct ClassRow {
  int script;
  const char16_t* name;
  const char16_t* clsid;
  const char16_t* iid;
  size_t methods;
  const char16_t* threading;
  const char16_t* interface_help;
};

constexpr char16_t kLibrary[] = u"{70E00E12-28B2-44CA-BEBA-CDC02A7148A6}";
constexpr char16_t kForeign[] = u"{F218A471-CFCB-4BD1-BBDE-50D0DADDB6A6}";

// In the order of the type library, which is the order of the registration scripts.
const ClassRow kClasses[] = {
    {102, u"EMRLibrary", u"{D8E8D292-30FE-465E-895B-A76F47A99984}",
     u"{3615B668-94C7-46DC-9311-D1C12FD237AA}", 26, u"Both", u"IEMRLibrary Interface"},
    {104, u"MyService", u"{BA5072A0-A13B-4846-9017-7FC8215A27AD}",
     u"{7B058666-6079-40AD-8612-FF9C45E7F2F1}", 6, u"Both", u"IMyService Interface"},
    {105, u"ArchiveReport", u"{F8A428CA-5F67-43AB-834C-ADF2409C9712}",
     u"{546D957C-DAB3-4E37-81C0-7F4DC604DD27}", 5, u"Apartment", u"IArchiveReport Interface"},
    {106, u"ArchivePatient", u"{B3D0E392-5627-409D-A604-801CD463A347}",
     u"{13D73880-0B14-4DCD-86CD-59A1CFD506F8}", 25, u"Apartment", u"IArchivePatient Interface"},
    {107, u"EMRReport", u"{7B9BD235-733E-4BF4-809E-C923670C21E1}",
     u"{7F3DD6EB-EA14-4399-BBD5-69F6914FCB80}", 32, u"Apartment", u"IEMRReport Interface"},
    {108, u"EventRegister", u"{152D1478-982C-4182-BC22-69F7F7FBE4B5}",
     u"{8773B477-50AF-4862-859F-813E3C50F410}", 4, u"Apartment", u"IEventRegister 接口"},
    {109, u"EventTrigger", u"{759F4035-EBF1-415C-8147-A65DA05069A9}",
     u"{2AE6E22B-51B6-428A-B43E-F4D4002FFE1A}", 2, u"Apartment", u"IEventTrigger 接口"},
    {110, u"QCPatient", u"{91F58880-5AFF-49C0-96E2-AC7778180E36}",
     u"{BBA2ED9E-D885-4ABD-88B5-81841DDA5076}", 12, u"Apartment", u"IQCPatient 接口"},
    {111, u"QCAdmin", u"{081F68B2-C8BB-4502-A56B-380BDCFB952A}",
     u"{2D02C1A3-C561-4F3C-A4BD-E119199B49A0}", 42, u"Apartment", u"IQCAdmin 接口"},
    {112, u"QCTask", u"{1E9D9B7E-2BE1-4A1E-8A49-B65F940637DB}",
     u"{53448940-3066-493E-8FDC-1D79B9FD12A0}", 17, u"Both", u"IQCTask Interface"},
    {113, u"TerminalQCPatient", u"{F708A5E3-125B-4F9E-9C34-67A94CED3DF2}",
     u"{BF8EFFBC-9433-42F9-A108-9CE99656BBBE}", 8, u"Both", u"ITerminalQCPatient Interface"},
    {114, u"QCCollector", u"{25F5E3FC-B163-4664-8A7E-077BF15FA0D3}",
     u"{060EF259-820C-4A15-A2DB-1E889A493710}", 37, u"Both", u"IQCCollector Interface"},
    {115, u"DeptQCPatient", u"{6FE9D90A-2FE2-4973-ADE9-FD56306F7623}",
     u"{9995503B-A6D6-471F-9EF4-FD697913294C}", 7, u"Both", u"IDeptQCPatient Interface"},
    {116, u"ConfigTask", u"{DD176170-DCD7-4636-A789-213085307389}",
     u"{AE8109E3-533A-4122-9E16-5484124EFB6A}", 5, u"Apartment", u"IConfigTask 接口"},
    {117, u"SysEvent", u"{FE7FB6C7-ADBF-4B00-8096-0C9F624FC4F5}",
     u"{B0051198-B334-4C2B-8F66-760EC887A085}", 9, u"Both", u"ISysEvent Interface"},
    {118, u"QualityTrigger", u"{243F8F33-034B-4600-93AD-2135DB1FB979}",
     u"{92763075-1E9D-4593-8604-FA6A208DE75A}", 4, u"Neutral", u"IQualityTrigger Interface"},
    {119, u"QualityRule", u"{CEEB0A6D-0A18-4C3D-BD44-A97CFB0742A5}",
     u"{7BCFE3F9-8263-4F4F-82B5-BA1EF2BA051F}", 12, u"Neutral", u"IQualityRule Interface"},
    {120, u"QCGradeSummary", u"{44BDF459-DB7F-4F54-8E82-3B0018A85E77}",
     u"{F4A4B165-F070-4FA2-AF9E-A64881EB4C79}", 14, u"Both", u"IQCGradeSummary Interface"},
    {121, u"PatientPaperMag", u"{E6F67AC8-8A72-4319-B1C1-C064A1EC2157}",
     u"{34D017A2-2976-45A4-8948-987AD2DCE570}", 5, u"Both", u"IPatientPaperMag 接口"},
    {122, u"EMRDictT", u"{04FC1C53-5B52-472C-AF7F-7DA2FA42B3F3}",
     u"{2F098C0C-22D8-48B2-9AE0-3547CB67737D}", 8, u"Both", u"IEMRDictT Interface"},
    {123, u"MonitorService", u"{A10DDE37-47C9-4C58-AB0B-26B106ED059A}",
     u"{E0105DB1-9C85-4C0A-89AD-9D982A4B91B9}", 4, u"Both", u"IMonitorService 接口"},
    {124, u"Repository", u"{C4D99C61-B661-437C-B68A-3181D336A7C8}",
     u"{F97D6406-DBB4-4F81-BE15-D2A3D3257228}", 19, u"Both", u"IRepository Interface"},
    {125, u"FunctionAdmin", u"{0DAF6C97-B23D-441E-A8EA-3FB0A39BBF3A}",
     u"{00C243B5-F2A2-492F-B128-7267BE4547BD}", 6, u"Both", u"IFunctionAdmin 接口"},
    {126, u"CoreSystem", u"{B2A963E4-6A24-4680-BD29-0B053575E1EA}",
     u"{C4F14EC5-8565-45F5-9441-E843FBCE17FC}", 19, u"Both", u"ICoreSystem 接口"},
};

std::u16string Default(const RegistryKey& root, std::u16string_view path) {
  const RegistryKey* key = root.Find(path);
  const std::u16string* value = key ? key->Value(u"") : nullptr;
  return value ? *value : u"<missing>";
}

std::u16string NamedValue(const RegistryKey& root, std::u16string_view path,
                          std::u16string_view name) {
  const RegistryKey* key = root.Find(path);
  const std::u16string* value = key ? key->Value(name) : nullptr;
  return value ? *value : u"<missing>";
}

TEST(ClassTableTest, EveryClassRegistersItsIdentityThreadingModelAndTypeLibrary) {
  auto registrations = ClassRegistrations();
  ASSERT_EQ(registrations.size(), std::size(kClasses));
  ASSERT_EQ(kKorvalisTypeLibrary.coclasses.size(), std::size(kClasses));

  korvalis::com::Registrar registrar;
  registrar.AddReplacement(u"MODULE", u"/opt/korvalis/lib/libkorvalis.so");
  registrar.AddReplacement(u"APPID", GuidToRegistryString(CkorvalisModule::kAppId));
  RegistryKey root;
  for (const ClassRegistration* registration : registrations) {
    std::string error;
    ASSERT_EQ(registrar.Register(ClassScript(*registration), root, &error), S_OK) << error;
  }

  for (size_t i = 0; i < std::size(kClasses); ++i) {
    const ClassRow& row = kClasses[i];
    const std::u16string name = row.name;
    SCOPED_TRACE(ToUtf8(name));
    const ClassRegistration& registration = *registrations[i];
    EXPECT_EQ(registration.name, name);
    EXPECT_EQ(registration.script_resource, row.script);
    EXPECT_EQ(GuidToRegistryString(registration.clsid), row.clsid);

    const CoClassInfo& coclass = kKorvalisTypeLibrary.coclasses[i];
    EXPECT_EQ(coclass.name, name);
    EXPECT_EQ(GuidToRegistryString(coclass.clsid), row.clsid);
    EXPECT_EQ(coclass.help, name + u" Class");
    EXPECT_EQ(GuidToRegistryString(coclass.interface->iid), row.iid);
    EXPECT_EQ(coclass.interface->name, u"I" + name);
    EXPECT_EQ(coclass.interface->help, row.interface_help);
    EXPECT_EQ(coclass.interface->methods.size(), row.methods);

    const std::u16string progid = u"korvalis." + name + u".1";
    const std::u16string independent = u"korvalis." + name;
    const std::u16string key = u"CLSID\\" + std::u16string(row.clsid);
    EXPECT_EQ(Default(root, progid), name + u" Class");
    EXPECT_EQ(Default(root, progid + u"\\CLSID"), row.clsid);
    EXPECT_EQ(Default(root, independent), name + u" Class");
    EXPECT_EQ(Default(root, independent + u"\\CLSID"), row.clsid);
    EXPECT_EQ(Default(root, independent + u"\\CurVer"), progid);
    EXPECT_EQ(Default(root, key), name + u" Class");
    EXPECT_EQ(Default(root, key + u"\\ProgID"), progid);
    EXPECT_EQ(Default(root, key + u"\\VersionIndependentProgID"), independent);
    EXPECT_NE(root.Find(key + u"\\Programmable"), nullptr);
    EXPECT_EQ(Default(root, key + u"\\InprocServer32"), u"/opt/korvalis/lib/libkorvalis.so");
    EXPECT_EQ(NamedValue(root, key + u"\\InprocServer32", u"ThreadingModel"), row.threading);
    EXPECT_EQ(NamedValue(root, key, u"AppID"), u"{F199E755-C9C0-4709-88CD-5420AE6A0213}");
    // Three classes carry the identifier of a type library that this library does not register.
    const bool foreign = row.script >= 117 && row.script <= 119;
    EXPECT_EQ(Default(root, key + u"\\TypeLib"), foreign ? kForeign : kLibrary);
  }
}

std::string Utf8(std::u16string_view text) { return ToUtf8(text); }

const char* TypeName(VARTYPE type) {
  switch (type) {
    case VT_BSTR:
      return "BSTR";
    case VT_I4:
      return "long";
    case VT_I2:
      return "short";
    case VT_BOOL:
      return "VARIANT_BOOL";
    default:
      return "?";
  }
}

const char* DirectionName(ParamDirection direction) {
  switch (direction) {
    case ParamDirection::kIn:
      return "[in]";
    case ParamDirection::kOut:
      return "[out]";
    case ParamDirection::kInOut:
      return "[in,out]";
    case ParamDirection::kOutRetval:
      return "[out,retval]";
  }
  return "?";
}

// One line per method: interface, dispatch identifier, the method with its parameters, help.
std::string MethodListing() {
  std::ostringstream out;
  for (const CoClassInfo& coclass : kKorvalisTypeLibrary.coclasses) {
    for (const auto& method : coclass.interface->methods) {
      out << Utf8(coclass.interface->name) << '\t' << method.dispid << '\t'
          << Utf8(method.name) << '(';
      for (size_t i = 0; i < method.params.size(); ++i) {
        const auto& param = method.params[i];
        out << (i ? ", " : "") << DirectionName(param.direction) << ' ' << TypeName(param.type)
            << (param.direction == ParamDirection::kIn ? "" : "*") << ' ' << Utf8(param.name);
      }
      out << ")\t" << Utf8(method.help) << '\n';
    }
  }
  return out.str();
}

TEST(ClassTableTest, EveryMethodKeepsItsDispatchIdentifierParametersAndHelpString) {
  const char* source = std::getenv("KORVALIS_SOURCE_DIR");
  const std::string path = std::string(source == nullptr ? KORVALIS_SOURCE_DIR_FALLBACK : source) +
                           "/interface/testdata/interface_methods.tsv";
  std::ifstream file(path);
  ASSERT_TRUE(file) << "cannot read " << path;
  std::stringstream expected;
  expected << file.rdbuf();

  // Compared line by line so that a failure names the method that changed.
  std::istringstream want(expected.str());
  std::istringstream got(MethodListing());
  std::string want_line;
  std::string got_line;
  size_t lines = 0;
  while (std::getline(want, want_line)) {
    ++lines;
    ASSERT_TRUE(std::getline(got, got_line)) << "missing: " << want_line;
    EXPECT_EQ(got_line, want_line);
  }
  EXPECT_FALSE(std::getline(got, got_line)) << "unexpected: " << got_line;
  EXPECT_EQ(lines, 328u);
}

}  // namespace
