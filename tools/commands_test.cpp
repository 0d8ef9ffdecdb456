// Runs the `korvalis` command as a newcomer would: register the built library in a fresh
// registry, list the classes, call methods, unregister.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "db/testing/temp_directory.h"
#include "interface/type_library.h"
#include "platform/text/unicode.h"
#include "tools/testing/command_test_util.h"

namespace {

using korvalis::testing::Outcome;
using korvalis::testing::RunCommand;

class CommandTest : public ::testing::Test {
 protected:
  Outcome Run(const std::string& arguments) {
    const std::string err = directory_ + "/stderr.txt";
    std::string command = "KORVALIS_REGISTRY='" + directory_ + "/registry' " KORVALIS_COMMAND " " +
                          arguments + " 2> '" + err + "'";
    return RunCommand(command, err);
  }

  korvalis::testing::TempDirectory scratch_{"korvalis-command"};
  const std::string directory_ = scratch_.path();
};

TEST_F(CommandTest, RegisterThenListEveryMethodOfTheRegisteredClasses) {
  Outcome before = Run("classes");
  EXPECT_EQ(before.status, 1);
  EXPECT_NE(before.out.find("no classes are registered"), std::string::npos);

  Outcome registered = Run("regsvr " KORVALIS_LIBRARY);
  ASSERT_EQ(registered.status, 0) << registered.out;
  EXPECT_NE(registered.out.find("registered"), std::string::npos);

  Outcome listing = Run("classes");
  ASSERT_EQ(listing.status, 0) << listing.out;
  std::istringstream lines(listing.out);
  std::string line;
  std::map<std::string, std::vector<std::string>> methods;
  const std::regex format(R"(([A-Za-z]+)\t([0-9]+)\t([A-Za-z0-9_]+)\(([A-Za-z0-9_,*\[\] ]*)\))");
  while (std::getline(lines, line)) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, format)) << line;
    methods[m[1]].push_back(std::string(m[2]) + " " + std::string(m[3]) + "(" + std::string(m[4]) +
                            ")");
  }
  size_t registered_classes = 0;
  for (const auto& coclass : kKorvalisTypeLibrary.coclasses) {
    auto it = methods.find(korvalis::ToUtf8(coclass.name));
    if (it == methods.end()) continue;
    ++registered_classes;
    ASSERT_EQ(it->second.size(), coclass.interface->methods.size());
    for (size_t i = 0; i < it->second.size(); ++i) {
      const auto& method = coclass.interface->methods[i];
      // Each parameter in order: its direction, its type and its name.
      std::string expected = std::to_string(method.dispid) + " " +
                             korvalis::ToUtf8(method.name) + "\\(";
      for (size_t k = 0; k < method.params.size(); ++k) {
        expected += (k > 0 ? ", " : "") + std::string(R"(\[[a-z, ]+\] [A-Za-z_]+\*? )") +
                    korvalis::ToUtf8(method.params[k].name);
      }
      EXPECT_TRUE(std::regex_match(it->second[i], std::regex(expected + "\\)")))
          << it->second[i];
    }
  }
  EXPECT_EQ(registered_classes, methods.size());  // nothing listed outside the type library
  EXPECT_GE(registered_classes, 23u);
  EXPECT_NE(listing.out.find("QCTask\t7\tGetPatientList([in] BSTR bstrCondition, [out, retval] "
                             "BSTR* pbstrPatientList)\n"),
            std::string::npos);  // the identifiers keep their gap at 6
  EXPECT_EQ(listing.out.find("QCTask\t6\t"), std::string::npos);

  ASSERT_EQ(Run("regsvr -u " KORVALIS_LIBRARY).status, 0);
  EXPECT_EQ(Run("classes").status, 1);
}

TEST_F(CommandTest, LibrariesWithoutATypeLibraryArePassedOverQuietly) {
  ASSERT_EQ(Run("regsvr " KORVALIS_LIBRARY).status, 0);
  ASSERT_EQ(Run("regsvr " KORVALIS_SUITE_COMPONENTS).status, 0);  // the stand-ins carry none
  Outcome listing = Run("classes");
  EXPECT_EQ(listing.status, 0);
  EXPECT_EQ(listing.out.find("korvalis:"), std::string::npos) << listing.out;
  EXPECT_NE(listing.out.find("ArchivePatient\t1\tGetInPatientList("), std::string::npos);

  // A library that is gone is still reported.
  const std::string copy = directory_ + "/libcopy.so";
  std::filesystem::copy_file(KORVALIS_LIBRARY, copy);
  ASSERT_EQ(Run("regsvr " + copy).status, 0);
  std::filesystem::remove(copy);
  listing = Run("classes");
  EXPECT_EQ(listing.status, 1);
  EXPECT_NE(listing.out.find("korvalis: " + copy), std::string::npos) << listing.out;
}

// A library is registered by the path given, a symbolic link kept, so that a switched link
// (`current -> 1.0.0`, then 1.0.1) is followed. A library whose file is gone (an installation
// moved) is unregistered by that path: the registry keeps nothing of it, the other library
// stays, and the moved one is registered again where it is now.
TEST_F(CommandTest, RegistrationKeepsTheLinkGivenAndAGoneLibraryIsUnregisteredByItsPath) {
  namespace fs = std::filesystem;
  fs::create_directories(directory_ + "/1.0.0");
  fs::copy_file(KORVALIS_LIBRARY, directory_ + "/1.0.0/libkorvalis.so");
  fs::create_directory_symlink("1.0.0", directory_ + "/current");
  ASSERT_EQ(Run("regsvr " KORVALIS_SUITE_COMPONENTS).status, 0);
  Outcome linked = Run("regsvr " + directory_ + "/current/../current/libkorvalis.so");
  ASSERT_EQ(linked.status, 0) << linked.out;
  const std::string through_link = directory_ + "/current/libkorvalis.so";
  EXPECT_EQ(linked.out.find("registered " + through_link + " in"), 0u) << linked.out;
  std::ifstream file(directory_ + "/registry");
  const std::string registry((std::istreambuf_iterator<char>(file)), {});
  EXPECT_NE(registry.find("@=\"" + through_link + "\""), std::string::npos);
  EXPECT_EQ(registry.find("1.0.0"), std::string::npos);

  fs::rename(directory_ + "/1.0.0", directory_ + "/moved");
  EXPECT_EQ(Run("call ArchivePatient GetToCommitPatient 0101").status, 1);
  Outcome gone = Run("regsvr -u " + through_link);
  ASSERT_EQ(gone.status, 0) << gone.out;
  EXPECT_NE(gone.out.find("its file is gone: 24 classes removed"), std::string::npos) << gone.out;
  std::ifstream after_file(directory_ + "/registry");
  const std::string after((std::istreambuf_iterator<char>(after_file)), {});
  EXPECT_EQ(after.find("current"), std::string::npos) << after;
  EXPECT_EQ(after.find("korvalis.ArchivePatient"), std::string::npos);
  EXPECT_NE(after.find("libkorvalis_suite_components.so"), std::string::npos);
  EXPECT_EQ(Run("call ArchivePatient GetToCommitPatient 0101").status, 2);
  // Nothing registered there: said so.
  Outcome nothing = Run("regsvr -u " + through_link);
  EXPECT_EQ(nothing.status, 1);
  EXPECT_NE(nothing.out.find("no such library, and "), std::string::npos) << nothing.out;

  ASSERT_EQ(Run("regsvr " + directory_ + "/moved/libkorvalis.so").status, 0);
  EXPECT_EQ(Run("classes ArchivePatient").status, 0);
}

TEST_F(CommandTest, CallsByNameAndReportsFailures) {
  Outcome unregistered = Run("call QualityRule DeleteOpenRule a b c");
  EXPECT_EQ(unregistered.status, 2);
  EXPECT_NE(unregistered.out.find("korvalis.QualityRule is not a registered class"),
            std::string::npos);
  ASSERT_EQ(Run("regsvr " KORVALIS_LIBRARY).status, 0);

  Outcome empty_method = Run("call QualityRule deleteopenrule a b c");
  EXPECT_EQ(empty_method.status, 0) << empty_method.out;
  EXPECT_EQ(empty_method.out, "");

  Outcome full_progid = Run("call korvalis.QualityTrigger.1 Cancel p e 3");
  EXPECT_EQ(full_progid.status, 0) << full_progid.out;

  Outcome count = Run("call QualityRule DeleteOpenRule a");
  EXPECT_EQ(count.status, 2);
  EXPECT_NE(count.out.find("takes 3 arguments, not 1: DeleteOpenRule("), std::string::npos)
      << count.out;

  Outcome type = Run("call QualityRule GetProperty twelve");
  EXPECT_EQ(type.status, 1);
  EXPECT_NE(type.out.find("argument 1 does not fit"), std::string::npos) << type.out;

  Outcome member = Run("call QualityRule Vanish");
  EXPECT_EQ(member.status, 2);
  EXPECT_NE(member.out.find("has no method Vanish"), std::string::npos);

  EXPECT_EQ(Run("call QualityRule").status, 2);
  EXPECT_EQ(Run("call '' Init").status, 2);
}

TEST_F(CommandTest, ReachesEveryWrappedClassByProgID) {
  ASSERT_EQ(Run("regsvr " KORVALIS_LIBRARY).status, 0);
  bool version_independent = false;
  for (const auto& coclass : kKorvalisTypeLibrary.coclasses) {
    std::string name = korvalis::ToUtf8(coclass.name);
    if (name == "MyService") continue;  // the work-list service is tested with its class
    const auto& method = coclass.interface->methods.front();
    std::string call = "call korvalis." + name + (version_independent ? " " : ".1 ") +
                       korvalis::ToUtf8(method.name);
    version_independent = !version_independent;
    for (const auto& p : method.params) {
      if (p.direction == korvalis::com::ParamDirection::kOutRetval) continue;
      call += p.type == VT_BSTR ? " x" : p.type == VT_I4 ? " 1" : " 0";
    }
    Outcome outcome = Run(call);
    SCOPED_TRACE(call + "\n" + outcome.out);
    // Either the method succeeds, or it fails as a method of the class does, with E_FAIL and a
    // description of its own (the wrapper's or the body's: a body not yet available, arguments
    // a built body refuses before any statement, such as "x" that is no time or no property
    // document, no database configuration here): the call reached the class. The description
    // of an unexpected failure does not count.
    if (outcome.status != 0) {
      EXPECT_EQ(outcome.status, 1);
      EXPECT_NE(outcome.out.find("(HRESULT 0x80004005)"), std::string::npos);
      EXPECT_EQ(outcome.out.find("the method failed ("), std::string::npos);
      EXPECT_EQ(outcome.out.find("出现异常错误"), std::string::npos);
    }
  }
}

TEST_F(CommandTest, RegsvrRefusesWhatIsNoLibrary) {
  Outcome missing = Run("regsvr /nonexistent/libnothing.so");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("no such library"), std::string::npos);
  Outcome not_a_component = Run("regsvr " KORVALIS_COMMAND);
  EXPECT_EQ(not_a_component.status, 1);
  EXPECT_EQ(Run("regsvr").status, 2);
}

}  // namespace
