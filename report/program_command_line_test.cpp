#include "report/program_command_line.h"

#include <gtest/gtest.h>

#include "platform/text/unicode.h"

namespace korvalis::report {
namespace {

using Argv = std::vector<std::string>;

TEST(ProgramCommandLine, SplitsAtBlanksAndKeepsQuotedBlanks) {
  const std::pair<std::u16string, Argv> cases[] = {
      {u"/opt/his/bin/sync --queue \"ward 3\" x", {"/opt/his/bin/sync", "--queue", "ward 3", "x"}},
      {u"  /usr/bin/app\t-a \r\n ", {"/usr/bin/app", "-a"}},
      {u"\"/opt/My Tools/app\" /quiet", {"/opt/My Tools/app", "/quiet"}},
      {u"/bin/app \"\" --name=\"a b\"c", {"/bin/app", "", "--name=a bc"}},
      {u"/bin/app 病案 'single quotes' a\\b", {"/bin/app", "病案", "'single", "quotes'", "a\\b"}},
      // No shell: variables, pipes, redirections, lists and wildcards are plain words.
      {u"/usr/bin/app $HOME | rm -rf * ; reboot > /dev/sda `id` $(id) &&",
       {"/usr/bin/app", "$HOME", "|", "rm", "-rf", "*", ";", "reboot", ">", "/dev/sda", "`id`",
        "$(id)", "&&"}},
  };
  for (const auto& [line, argv] : cases) {
    const ProgramCommand command = ParseProgramCommand(line);
    EXPECT_EQ(command.refusal, u"") << ToUtf8(line);
    EXPECT_EQ(command.argv, argv) << ToUtf8(line);
  }
}

TEST(ProgramCommandLine, RefusesWhatHasNoAbsoluteProgramPath) {
  const std::u16string not_absolute = u"命令行的第一个词不是可执行文件的绝对路径.";
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"", u"命令行为空."},
      {u" \t ", u"命令行为空."},
      {u"app.exe /quiet", not_absolute},
      {u"C:\\Tools\\app.exe /quiet", not_absolute},
      {u"./app", not_absolute},
      {u"~/bin/app", not_absolute},
      {u"$HOME/bin/app", not_absolute},
      {u"\"\" /bin/app", not_absolute},
      {u"\"/bin/app -x", u"命令行的引号没有成对."},
      {u"/bin/app a\\\" b", u"命令行的引号没有成对."},  // a backslash escapes nothing
      {std::u16string(u"/bin/app\0-x", 11), u"命令行含有空字符."},
  };
  for (const auto& [line, refusal] : cases) {
    const ProgramCommand command = ParseProgramCommand(line);
    EXPECT_EQ(command.refusal, refusal) << ToUtf8(line);
    EXPECT_TRUE(command.argv.empty()) << ToUtf8(line);
  }
}

}  // namespace
}  // namespace korvalis::report
