// The command line of a watched program, taken apart into the argument vector it is started
// with. No shell ever sees it, so it has only two rules: words are separated by blanks (space,
// tab, line breaks), and a part of a word between double quotes keeps its blanks (the quotes
// themselves are dropped; "" is an empty word). Nothing else has a meaning: "$HOME", "|", ">",
// "*" and ";" are characters of their words. The first word must be an absolute path, the
// program's executable.
//
//   /opt/his/bin/sync --queue "ward 3" $X   ->  {"/opt/his/bin/sync", "--queue", "ward 3", "$X"}
//
// Thread-safety: stateless.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvalis::report {

struct ProgramCommand {
  // The words as UTF-8, when the command line is accepted.
  std::vector<std::string> argv;
  // Why the command line is refused; empty when it is accepted.
  std::u16string refusal;
};

ProgramCommand ParseProgramCommand(std::u16string_view command_line);

}  // namespace korvalis::report
