// The command as a person at the terminal meets it: help on every command, mistakes named with
// what to do, and the cause behind a failed call's generic message.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

#include "db/testing/temp_directory.h"
#include "tools/testing/command_test_util.h"

namespace {

using korvalis::testing::Outcome;
using korvalis::testing::RunCommand;
namespace fs = std::filesystem;

class CommandLineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    scratch_.emplace("korvalis-command-line");
    directory_ = scratch_->path();
    ASSERT_EQ(Run("initdb --sample emr.db").status, 0);
    ASSERT_EQ(Run("regsvr " KORVALIS_LIBRARY).status, 0);
    ASSERT_EQ(Run("regsvr " KORVALIS_SUITE_COMPONENTS).status, 0);
  }
  static void TearDownTestSuite() { scratch_.reset(); }

  // Runs the command in `folder` (the sample's directory by default) with the sample's
  // registry; standard error follows standard output in one stream, as in a terminal's log.
  static Outcome Run(const std::string& arguments, const std::string& folder = "",
                     const std::string& environment = "") {
    return RunCommand("cd '" + (folder.empty() ? directory_ : folder) + "' && KORVALIS_REGISTRY='" +
                      directory_ + "/registry' " + environment + " " KORVALIS_COMMAND " " +
                      arguments + " 2>&1");
  }

  static std::optional<korvalis::testing::TempDirectory> scratch_;
  static std::string directory_;
};

std::optional<korvalis::testing::TempDirectory> CommandLineTest::scratch_;
std::string CommandLineTest::directory_;

TEST_F(CommandLineTest, EveryCommandTakesHelpToStandardOutput) {
  for (const char* command : {"version", "selfcheck", "sql", "initdb", "regsvr", "classes", "call"}) {
    for (const char* option : {"--help", "-h"}) {
      Outcome help = RunCommand(std::string(KORVALIS_COMMAND " ") + command + " " + option +
                                " 2>/dev/null");
      EXPECT_EQ(help.status, 0) << command << " " << option;
      EXPECT_EQ(help.out.find(std::string("usage: korvalis ") + command), 0u) << help.out;
    }
  }
  Outcome overview = RunCommand(KORVALIS_COMMAND " --help 2>/dev/null");
  EXPECT_EQ(overview.status, 0);
  EXPECT_NE(overview.out.find("  classes "), std::string::npos);
  EXPECT_EQ(RunCommand(KORVALIS_COMMAND " --version").out.find("korvalis "), 0u);
}

TEST_F(CommandLineTest, MistakesAreNamedWithWhatToDo) {
  const struct {
    const char* arguments;
    int status;
    const char* says;
  } cases[] = {
      {"initdb --sampel other.db", 2, "unknown option --sampel; did you mean --sample?"},
      {"regsvr --unregistr lib.so", 2, "unknown option --unregistr; did you mean --unregister?"},
      {"sql --db", 2, "--db needs a value"},
      {"clases", 2, "unknown command 'clases'; did you mean classes?"},
      {"classes ArchivPatient", 2, "ArchivPatient is not a registered class; did you mean "
                                   "ArchivePatient?"},
      // A call that cannot be made as written: one status, whichever name or count is wrong.
      {"call ArchivPatient GetInPatientList", 2, "did you mean ArchivePatient?"},
      {"call ArchivePatient GetInPatientLst 0101", 2,
       "korvalis.ArchivePatient has no method GetInPatientLst; did you mean GetInPatientList?"},
      {"call ArchivePatient GetInPatientList 0101", 2,
       "GetInPatientList takes 3 arguments, not 1: GetInPatientList([in] BSTR bstrDeptID, [in] "
       "BSTR bstrStartTime, [in] BSTR bstrEndTime, [out, retval] BSTR* pbstrList)"},
      // The names and counts of a whole chain are checked before its first call.
      {"call ArchivePatient GetToCommitPatient 0101 -- GetToCommitPatient", 2,
       "takes 1 argument, not 0"},
      {"call EMRReport GetReportXSLT 1 --expnd", 2,
       "unknown option --expnd of GetReportXSLT; did you mean --expand?"},
      {"version extra", 2, "version takes no arguments: 'extra' is one too many"},
      {"selfcheck extra", 2, "selfcheck takes no arguments: 'extra' is one too many"},
      // Refused by name before any server is asked.
      {"sql --connect 'Provider=PostgreSQL;Host=/nowhere;Connect Timeout=-1' 'SELECT 1 FROM DUAL'",
       1, "Connect Timeout '-1' is not a number of seconds from 0 to "},
      {"sql --connect 'Provider=PostgreSQL;Host=/nowhere;Connect Timeout=abc' 'SELECT 1 FROM DUAL'",
       1, "Connect Timeout 'abc' is not a number of seconds from 0 to "},
  };
  for (const auto& c : cases) {
    Outcome outcome = Run(c.arguments);
    SCOPED_TRACE(c.arguments + std::string("\n") + outcome.out);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_NE(outcome.out.find(c.says), std::string::npos);
    EXPECT_EQ(outcome.out.find("<root"), std::string::npos);  // nothing was called
  }
  // Negative numbers and other texts starting with "-" stay arguments.
  for (const char* argument : {"-1", "--5", "'-- x'"}) {
    Outcome outcome = Run(std::string("call ArchivePatient GetToCommitPatient 0101 ") + argument);
    EXPECT_NE(outcome.out.find("takes 1 argument, not 2"), std::string::npos) << outcome.out;
  }
}

TEST_F(CommandLineTest, ClassesShowEachParameterWithItsDirectionAndType) {
  Outcome one = Run("classes archivepatient");
  ASSERT_EQ(one.status, 0) << one.out;
  EXPECT_EQ(one.out.find("ArchivePatient\t1\tGetInPatientList([in] BSTR bstrDeptID, [in] BSTR "
                         "bstrStartTime, [in] BSTR bstrEndTime, [out, retval] BSTR* pbstrList)\n"),
            0u);
  EXPECT_EQ(one.out.find("QCAdmin"), std::string::npos);
  Outcome all = Run("classes");
  EXPECT_NE(all.out.find("[in, out] BSTR* "), std::string::npos);  // GenerateQCReport's id
  EXPECT_NE(all.out.find("[in] long "), std::string::npos);
}

TEST_F(CommandLineTest, AFailedCallShowsTheEventLogRecordsItWroteAfterTheGenericMessage) {
  Outcome failed = Run(
      "call ArchivePatient GetToCommitPatient 0101 -- GetInPatientList 0101 bad-date 2027-01-01");
  EXPECT_EQ(failed.status, 1);
  const size_t answer = failed.out.find("<root");
  const size_t generic = failed.out.find("failed: 数据库错误, 请与系统管理员联系.");
  const size_t cause = failed.out.find("korvalis: event log (error): ");
  ASSERT_NE(cause, std::string::npos) << failed.out;
  EXPECT_LT(answer, generic) << "the first call's answer is flushed before the error";
  EXPECT_LT(generic, cause);
  EXPECT_NE(failed.out.find("bad-date", cause), std::string::npos);

  // A log file of the operator's own keeps every record; only this call's are shown.
  const std::string log = directory_ + "/events.log";
  std::ofstream(log) << "1\tan older record\t\n";
  Outcome kept = Run("call ArchivePatient GetInPatientList 0101 later 2027-01-01", "",
                     "KORVALIS_EVENTLOG='" + log + "'");
  EXPECT_EQ(kept.out.find("an older record"), std::string::npos) << kept.out;
  EXPECT_NE(kept.out.find("event log (error): "), std::string::npos) << kept.out;
  std::ifstream in(log);
  std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(contents.find("an older record"), std::string::npos);
  EXPECT_NE(contents.find(": later"), std::string::npos);

  // A value's line breaks and escape sequences are shown escaped, in the log and on the terminal.
  Outcome forged = Run("call ArchivePatient GetInPatientList 0101 \"$(printf "
                       "'2026-13-01\\nerror\\tforged\\033[31mRED')\" 2027-01-01",
                       "", "KORVALIS_EVENTLOG='" + log + "'");
  EXPECT_EQ(forged.status, 1);
  EXPECT_NE(forged.out.find("2026-13-01\\nerror\\tforged\\x1b[31mRED"), std::string::npos)
      << forged.out;
  std::ifstream again(log);
  contents.assign(std::istreambuf_iterator<char>(again), std::istreambuf_iterator<char>());
  for (const std::string& text : {forged.out, contents}) {
    EXPECT_EQ(text.find("\nerror"), std::string::npos) << text;
    EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
  }
}

TEST_F(CommandLineTest, AFailedCallNamesTheConfigurationMistake) {
  const struct {
    const char* file;
    const char* text;
    const char* says;
  } cases[] = {
      {"telv.config.xml", "<config>\n<db><datasource>x</db></config>",
       "telv.config.xml is malformed: line 2: "},
      // One that names no database is told so, as `korvalis sql` tells it.
      {"telv.config.xml", "<config><db><datasource dbtype=\"oracle\"> </datasource></db></config>",
       "korvalis: telv.config.xml must hold exactly one db element with a datasource that names "
       "the database (as korvalis initdb writes it)\n"},
      {"suite.config.xml", "<config><datetime fixed=\"soon\"/></config>",
       "suite.config.xml: 日期时间配置格式错误: <datetime fixed=\"soon\">"},
      // A file that cannot be read (here a folder of that name) is named with the reason.
      {"telv.config.xml", nullptr, "korvalis: cannot read telv.config.xml: Is a directory\n"},
  };
  int case_number = 0;
  for (const auto& c : cases) {
    const std::string folder =
        directory_ + "/" + c.file + (c.text ? ".d" : ".unreadable") + std::to_string(++case_number);
    fs::create_directory(folder);
    for (const char* file : {"telv.config.xml", "suite.config.xml"}) {
      if (c.text == nullptr && c.file == std::string(file)) {
        fs::create_directory(folder + "/" + file);
      } else {
        fs::copy_file(directory_ + "/" + file, folder + "/" + file);
      }
    }
    if (c.text != nullptr) std::ofstream(folder + "/" + c.file) << c.text;
    Outcome outcome = Run("call EMRLibrary GetUserProperty liujy", folder);
    SCOPED_TRACE(outcome.out);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.out.find(c.says), std::string::npos);
    EXPECT_EQ(outcome.out.find("I/O error"), std::string::npos);
  }
  // Without telv.config.xml the system's message is followed by the command's; a database that
  // cannot be connected to is told once, by the record that names the connection.
  const std::string bare = directory_ + "/no-config.d";
  fs::create_directory(bare);
  fs::copy_file(directory_ + "/suite.config.xml", bare + "/suite.config.xml");
  Outcome missing = Run("call EMRLibrary GetUserProperty liujy", bare);
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("配置文件: telv.config.xml"), std::string::npos) << missing.out;
  EXPECT_NE(missing.out.find("\nkorvalis: there is no telv.config.xml in the current directory"),
            std::string::npos)
      << missing.out;
  std::ofstream(bare + "/telv.config.xml")
      << "<config><db><datasource dbtype=\"oracle\" encrypt=\"\">Provider=SQLite;Data Source="
      << bare << "/gone.db</datasource></db></config>";
  Outcome unreachable = Run("call EMRLibrary GetUserProperty liujy", bare);
  EXPECT_EQ(unreachable.status, 1);
  const size_t told = unreachable.out.find("连接数据库错误");
  EXPECT_NE(told, std::string::npos) << unreachable.out;
  EXPECT_EQ(unreachable.out.find("连接数据库错误", told + 1), std::string::npos) << unreachable.out;
  EXPECT_EQ(unreachable.out.find("0x00000000"), std::string::npos) << unreachable.out;

  // A method that answers every failure as an empty list is not called on a clock that is no
  // date.
  const std::string folder = directory_ + "/no-date.d";
  fs::create_directory(folder);
  fs::copy_file(directory_ + "/telv.config.xml", folder + "/telv.config.xml");
  std::ifstream in(directory_ + "/suite.config.xml");
  std::string suite((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  suite.replace(suite.find("<datetime fixed=\"\"/>"), 19, "<datetime fixed=\"2026-99-99\"/>");
  std::ofstream(folder + "/suite.config.xml") << suite;
  Outcome refused = Run("call MyService GetToWriteEMR", folder);
  EXPECT_EQ(refused.status, 1) << refused.out;
  EXPECT_EQ(refused.out, "korvalis: suite.config.xml: 日期时间配置格式错误: <datetime "
                         "fixed=\"2026-99-99\">\n");
}

TEST_F(CommandLineTest, ARegistryIsWrittenOnlyWhereItsFolderExists) {
  const std::string missing = directory_ + "/no-such-folder";
  Outcome refused = RunCommand("KORVALIS_REGISTRY='" + missing + "/registry' " KORVALIS_COMMAND
                               " regsvr " KORVALIS_LIBRARY " 2>&1");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.out.find("cannot write the registry: " + missing + "/registry: the folder " +
                             missing + " does not exist"),
            std::string::npos)
      << refused.out;
  EXPECT_FALSE(fs::exists(missing));
  // A call through that registry names it: it holds no class.
  Outcome call = RunCommand("KORVALIS_REGISTRY='" + missing + "/registry' " KORVALIS_COMMAND
                            " call ArchivePatient GetToCommitPatient 0101 2>&1");
  EXPECT_EQ(call.status, 2);
  EXPECT_NE(call.out.find("korvalis.ArchivePatient is not a registered class in " + missing +
                          "/registry"),
            std::string::npos)
      << call.out;
}

// selfcheck checks what the command loads itself, then what the calls of each registered
// library load, found as that library finds them: a library copied alone fails for the worker
// and the cipher module it lacks, naming where it looked; a command copied alone works.
TEST_F(CommandLineTest, SelfcheckCoversTheCommandAndEveryRegisteredLibrary) {
  Outcome check = Run("selfcheck");
  EXPECT_EQ(check.status, 0) << check.out;
  Outcome help = RunCommand(KORVALIS_COMMAND " selfcheck --help");
  const std::string calls_section = "library " KORVALIS_LIBRARY "\n";
  ASSERT_NE(check.out.find(calls_section), std::string::npos) << check.out;
  const std::string command = check.out.substr(0, check.out.find("library "));
  const std::string calls = check.out.substr(check.out.find(calls_section));
  for (const auto& [library, named] :
       {std::pair{"sqlite", "sqlite"}, {"libpq", "libpq"}, {"libxml2", "libxml2"},
        {"libxslt", "libxslt"}, {"xerces", "xerces"}, {"zlib", "zlib"}, {"crypto++", "Crypto++"},
        {"icu", "ICU"}, {"libcurl", "libcurl"}, {"pcre2", "PCRE2"}}) {
    EXPECT_NE(calls.find("  " + std::string(library) + " "), std::string::npos) << library;
    EXPECT_NE(help.out.find(named), std::string::npos) << named;
  }
  // The command itself starts no transformation and deciphers nothing.
  EXPECT_EQ(command.find("libxslt"), std::string::npos) << command;
  EXPECT_EQ(command.find("crypto++"), std::string::npos) << command;
  EXPECT_NE(check.out.find("library " KORVALIS_SUITE_COMPONENTS "\n  loading  ok\n"),
            std::string::npos);
  EXPECT_EQ(check.out.find("FAILED"), std::string::npos);

  const std::string alone = directory_ + "/alone";
  fs::create_directories(alone);
  fs::copy_file(KORVALIS_COMMAND, alone + "/korvalis");
  fs::copy_file(KORVALIS_LIBRARY, alone + "/libkorvalis.so");
  const std::string registry = "KORVALIS_REGISTRY='" + alone + "/registry' ";
  Outcome copied_command = RunCommand(registry + alone + "/korvalis regsvr " KORVALIS_LIBRARY
                                      " > /dev/null && " + registry + alone + "/korvalis selfcheck");
  EXPECT_EQ(copied_command.status, 0) << copied_command.out;
  Outcome copied_library =
      RunCommand(registry + alone + "/korvalis regsvr -u " KORVALIS_LIBRARY " > /dev/null && " +
                 registry + alone + "/korvalis regsvr " + alone + "/libkorvalis.so > /dev/null && " +
                 registry + alone + "/korvalis selfcheck");
  EXPECT_EQ(copied_library.status, 1);
  for (const std::string& says :
       {"  libxslt  FAILED: the transformation worker korvalis-transformer cannot be found "
        "(looked for " + alone + "/korvalis-transformer",
        "  crypto++ FAILED: " + alone + "/libkorvalis_ciphers.so cannot be loaded",
        std::string("  sqlite   ok\n")}) {
    EXPECT_NE(copied_library.out.find(says), std::string::npos) << says << copied_library.out;
  }
}

// What a command prints and cannot write (a full device, a file past its size limit as on a
// full disk) is an answer lost: the command names the cause and fails.
TEST_F(CommandLineTest, OutputThatCannotBeWrittenFailsTheCommand) {
  const std::string command = "cd '" + directory_ + "' && KORVALIS_REGISTRY='" + directory_ +
                              "/registry' " KORVALIS_COMMAND " ";
  for (const std::string words :
       {"sql \"SELECT ID FROM TELV_PATIENT\"", "classes", "--help", "sql --help", "selfcheck"}) {
    Outcome full = RunCommand(command + words + " 2>&1 > /dev/full");
    EXPECT_EQ(full.status, 1) << words;
    EXPECT_EQ(full.out, "korvalis: cannot write standard output: No space left on device\n")
        << words;
  }
  Outcome limited = RunCommand("trap '' XFSZ && ulimit -f 8 && " + command +
                               "classes 2>&1 > '" + directory_ + "/listed.txt'");
  EXPECT_EQ(limited.status, 1);
  EXPECT_EQ(limited.out, "korvalis: cannot write standard output: File too large\n");
}

// Output lost after the work was done keeps the failure and says what was done, so that the
// work is not simply done again.
TEST_F(CommandLineTest, OutputLostAfterTheWorkWasDoneSaysWhatWasDone) {
  const std::string folder = directory_ + "/lost-output";
  fs::create_directories(folder);
  const std::string in_folder = "cd '" + folder + "' && ";
  const std::string sql = KORVALIS_COMMAND " sql --db new.db ";
  const std::string update = "UPDATE TELV_PROPERTY_MAP SET MAP_NAME = MAP_NAME";
  const std::pair<std::string, std::string> cases[] = {
      {KORVALIS_COMMAND " initdb new.db", "the database new.db was created"},
      {sql + "\"" + update + "\"", "the statement was committed"},
      {"printf '" + update + ";\\nCOMMIT;\\nSELECT 1 FROM DUAL;\\n' | " + sql,
       "the script's changes were committed"},
  };
  for (const auto& [run, done] : cases) {
    Outcome full = RunCommand(in_folder + run + " 2>&1 > /dev/full");
    EXPECT_EQ(full.status, 1) << run;
    EXPECT_EQ(full.out, "korvalis: " + done +
                            "; its output could not be written: No space left on device\n")
        << run;
  }
  // Nothing committed: the output alone is lost.
  Outcome undone = RunCommand(in_folder + "printf '" + update + ";\\nROLLBACK;\\n' | " + sql +
                              "2>&1 > /dev/full");
  EXPECT_EQ(undone.out, "korvalis: cannot write standard output: No space left on device\n");

  // A method that answered did its work, whatever became of its answer; one that failed did not.
  const std::string in_sample = "cd '" + directory_ + "' && KORVALIS_REGISTRY='" + directory_ +
                                "/registry' " KORVALIS_COMMAND " ";
  const auto rescues = [] {
    return Run("sql --no-feedback \"SELECT COUNT(*) FROM PEV_RESCUE_RECORD\"").out;
  };
  const std::string saved_before = rescues();
  const std::string rescue =
      "'<root><patient_id>P0001</patient_id><event_no>2025061501</event_no>"
      "<rescue_date>2026-12-05 14:20:00</rescue_date></root>'";
  const std::string lost = "; its output could not be written: No space left on device\n";
  const std::pair<std::string, std::string> calls[] = {
      {"call CoreSystem SetRescueRecord " + rescue + " -- SetRescueRecord '<root>'",
       "korvalis: korvalis.CoreSystem.SetRescueRecord failed: 解析属性信息错误. (HRESULT "
       "0x80004005)\nkorvalis: korvalis.CoreSystem.SetRescueRecord was called and answered" +
           lost},
      {"call ArchivePatient GetInPatientList 0101 2026-11-01 2027-01-01 -- GetToCommitPatient 0101",
       "korvalis: korvalis.ArchivePatient.GetInPatientList, GetToCommitPatient were called and "
       "answered" + lost},
      {"regsvr " KORVALIS_LIBRARY,
       "korvalis: registered " KORVALIS_LIBRARY " in " + directory_ + "/registry" + lost},
  };
  for (const auto& [run, says] : calls) {
    Outcome full = RunCommand(in_sample + run + " 2>&1 > /dev/full");
    EXPECT_EQ(full.status, 1) << run;
    EXPECT_EQ(full.out, says) << run;
  }
  const auto count = [](const std::string& listed) { return std::stoi(listed.substr(9)); };
  EXPECT_EQ(count(rescues()), count(saved_before) + 1) << "the first call saved its record";
}

// A registry that cannot be read, or a folder where it cannot be made, is named with the cause,
// never taken for a registry without the class.
TEST_F(CommandLineTest, ARegistryThatCannotBeUsedIsNamedWithTheCause) {
  const std::string folder = directory_ + "/registry-folder";
  fs::create_directories(folder + "/registry");
  Outcome unreadable = RunCommand("KORVALIS_REGISTRY='" + folder + "/registry' " KORVALIS_COMMAND
                                  " call ArchivePatient GetToCommitPatient 0101 2>&1");
  EXPECT_EQ(unreadable.status, 1);
  EXPECT_EQ(unreadable.out, "korvalis: " + folder + "/registry: cannot be read: Is a directory\n");
  Outcome listing = RunCommand("KORVALIS_REGISTRY='" + folder + "/registry' " KORVALIS_COMMAND
                               " classes 2>&1");
  EXPECT_EQ(listing.out, unreadable.out);

  // The default registry below a home that is no folder.
  std::ofstream(folder + "/home") << "a file";
  Outcome homeless = RunCommand("HOME='" + folder + "/home' KORVALIS_REGISTRY= " KORVALIS_COMMAND
                                " regsvr " KORVALIS_LIBRARY " 2>&1");
  EXPECT_EQ(homeless.status, 1);
  EXPECT_NE(homeless.out.find("the folder " + folder + "/home/.korvalis cannot be made: Not a "
                              "directory"),
            std::string::npos)
      << homeless.out;
}

}  // namespace
