#include "tools/command_line.h"

#include <getopt.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/text/control_escape.h"

namespace korvalis::tools {
namespace {

constexpr int kFirstLongValue = 256;

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// The edit distance of `a` and `b` ignoring letter case, a swap of two neighbours counting as
// one edit.
size_t Distance(std::string_view a, std::string_view b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t cost = Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && Lower(a[i - 1]) == Lower(b[j - 2]) &&
          Lower(a[i - 2]) == Lower(b[j - 1])) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

void PrintRefusal(const char* command, const std::string& what, const char* usage) {
  const std::string_view text(usage);
  PrintError(std::string(command) + ": " + what,
             std::string(text.substr(0, text.find('\n'))) + "\n(korvalis " + command +
                 " --help tells more)");
}

}  // namespace

const std::string& ParsedOptions::Value(const std::string& name) const {
  static const std::string kNone;
  const auto it = values.find(name);
  return it == values.end() ? kNone : it->second;
}

OptionsOutcome ParseOptions(const char* command, const std::vector<std::string>& args,
                            const std::vector<OptionSpec>& options, const char* usage,
                            ParsedOptions* parsed, bool options_first) {
  std::vector<OptionSpec> all = options;
  all.push_back({"help", 'h', false});

  // "+" stops at the first operand, ":" reports a missing value apart from an unknown option.
  std::string short_options = options_first ? "+:" : ":";
  std::vector<option> long_options;
  std::vector<std::string> long_names;
  for (size_t i = 0; i < all.size(); ++i) {
    const int has_arg = all[i].takes_value ? required_argument : no_argument;
    long_options.push_back({all[i].name, has_arg, nullptr, kFirstLongValue + static_cast<int>(i)});
    long_names.push_back(std::string("--") + all[i].name);
    if (all[i].short_name != 0) {
      short_options += all[i].short_name;
      if (all[i].takes_value) short_options += ':';
    }
  }
  long_options.push_back({nullptr, 0, nullptr, 0});

  std::vector<std::string> words{std::string("korvalis ") + command};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  opterr = 0;
  optind = 0;  // glibc: start afresh, also with another option set
  int code;
  while ((code = getopt_long(static_cast<int>(words.size()), argv.data(), short_options.c_str(),
                             long_options.data(), nullptr)) != -1) {
    const OptionSpec* given = nullptr;
    if (code >= kFirstLongValue) {
      given = &all[static_cast<size_t>(code - kFirstLongValue)];
    } else {
      for (const OptionSpec& s : all) {
        if (s.short_name != 0 && s.short_name == code) given = &s;
      }
    }
    if (code == '?' || code == ':') {
      // optopt names a short option or the value of a long one; else the word itself is it.
      std::string word = argv[optind - 1];
      for (const OptionSpec& s : all) {
        if (optopt != 0 && (s.short_name == optopt ||
                            optopt - kFirstLongValue == static_cast<int>(&s - all.data()))) {
          word = s.short_name == optopt ? std::string("-") + s.short_name
                                        : std::string("--") + s.name;
        }
      }
      if (code == ':') {
        PrintRefusal(command, word + " needs a value", usage);
      } else {
        const std::string name = word.substr(0, word.find('='));
        PrintRefusal(command, "unknown option " + name + DidYouMean(name, long_names), usage);
      }
      return OptionsOutcome::kRefused;
    }
    if (given == nullptr) continue;
    if (std::string_view(given->name) == "help") {
      std::fputs(usage, stdout);
      return OptionsOutcome::kHelpShown;
    }
    if (!given->takes_value && parsed->Has(given->name)) {
      PrintRefusal(command, std::string("--") + given->name + " is given twice", usage);
      return OptionsOutcome::kRefused;
    }
    parsed->values[given->name] = given->takes_value ? optarg : "";
  }
  for (size_t i = static_cast<size_t>(optind); i < words.size(); ++i) {
    parsed->operands.push_back(words[i]);
  }
  return OptionsOutcome::kRun;
}

namespace {
int standard_output_error = 0;  // errno of the first failed write, or 0
std::string work_done;          // what NoteWorkDone noted last
}  // namespace

void NoteWorkDone(std::string what) { work_done = std::move(what); }

const std::string& WorkDone() { return work_done; }

void FlushStandardOutput() {
  errno = 0;
  if (std::fflush(stdout) != 0 && standard_output_error == 0) {
    standard_output_error = errno != 0 ? errno : EIO;
  }
}

std::string StandardOutputFailure() {
  // A write that failed inside printf leaves its bytes buffered: flushing again gives the reason.
  const bool failed_before = std::ferror(stdout) != 0;
  FlushStandardOutput();
  if (standard_output_error != 0) return std::strerror(standard_output_error);
  return failed_before ? "a write failed" : "";
}

void PrintError(std::string_view message, std::string_view hint) {
  FlushStandardOutput();
  std::string text = "korvalis: " + EscapeControls(message) + "\n";
  if (!hint.empty()) text.append(hint).push_back('\n');
  std::fputs(text.c_str(), stderr);
}

std::string NearestName(std::string_view word, const std::vector<std::string>& candidates) {
  std::string nearest;
  size_t best = word.size() / 3 + 1;  // more edits than this is another word
  for (const std::string& candidate : candidates) {
    const size_t distance = Distance(word, candidate);
    if (distance < best) {
      best = distance;
      nearest = candidate;
    }
  }
  return nearest;
}

std::string DidYouMean(std::string_view word, const std::vector<std::string>& candidates) {
  const std::string nearest = NearestName(word, candidates);
  return nearest.empty() ? std::string() : "; did you mean " + nearest + "?";
}

}  // namespace korvalis::tools
