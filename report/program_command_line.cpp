#include "report/program_command_line.h"

#include "platform/text/ascii.h"
#include "platform/text/unicode.h"

namespace korvalis::report {
namespace {

ProgramCommand Refused(std::u16string reason) { return {{}, std::move(reason)}; }

}  // namespace

ProgramCommand ParseProgramCommand(std::u16string_view command_line) {
  if (command_line.find(u'\0') != std::u16string_view::npos) {
    return Refused(u"命令行含有空字符.");
  }
  std::vector<std::u16string> words;
  std::u16string word;
  bool in_word = false;
  bool quoted = false;
  for (const char16_t c : command_line) {
    if (c == u'"') {
      quoted = !quoted;
      in_word = true;
    } else if (IsXmlSpace(c) && !quoted) {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (quoted) return Refused(u"命令行的引号没有成对.");
  if (in_word) words.push_back(std::move(word));
  if (words.empty()) return Refused(u"命令行为空.");
  if (!words.front().starts_with(u'/')) {
    return Refused(u"命令行的第一个词不是可执行文件的绝对路径.");
  }
  ProgramCommand command;
  for (const std::u16string& each : words) command.argv.push_back(ToUtf8(each));
  return command;
}

}  // namespace korvalis::report
