// `korvalis call` with files and BSTRs that hold bytes: arguments read as text or as bytes from
// files and standard input, answers written to files as text or as bytes, compressed text
// expanded, and answers that are no text shown as a notice. The calls reach
// the ByteEcho double (tools/testing/byte_echo_double.h) through the registry and Invoke.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "db/testing/temp_directory.h"
#include "foundation/codec/codec_factory.h"
#include "platform/com/bstr.h"
#include "platform/com/guid.h"
#include "platform/com/registry.h"
#include "platform/text/hex.h"
#include "platform/text/unicode.h"
#include "tools/testing/byte_echo_double.h"
#include "tools/testing/command_test_util.h"

namespace {

using korvalis::testing::Outcome;
using korvalis::testing::RunCommand;

std::string Hex(const std::string& bytes) {
  return korvalis::HexText({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()},
                           korvalis::HexLetters::kSmall);
}

// What the double's Describe answers for `bytes`.
std::string Description(const std::string& bytes) {
  return std::to_string(bytes.size()) + ":" + Hex(bytes);
}

// 1 MiB in which every byte value occurs, in no text encoding.
std::string Megabyte() {
  std::string bytes(1 << 20, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 131 + 7) & 0xFF);
  return bytes;
}

class CallBytesTest : public ::testing::Test {
 protected:
  CallBytesTest() {
    korvalis::com::RegistryFile(directory_ + "/registry")
        .Update([](korvalis::com::RegistryKey& root) {
          korvalis::com::RegistryKey& server =
              root.Create(u"CLSID\\" +
                          korvalis::GuidToRegistryString(korvalis::tools::testing::CLSID_ByteEcho) +
                          u"\\InprocServer32");
          server.SetValue(u"", korvalis::FromUtf8(KORVALIS_BYTE_ECHO_DOUBLE));
          return S_OK;
        });
  }

  // Runs `korvalis call <the double> <arguments>` in the scratch directory.
  Outcome Call(const std::string& arguments, const std::string& progid = "") {
    const std::string err = directory_ + "/stderr.txt";
    return RunCommand("cd '" + directory_ + "' && KORVALIS_REGISTRY='" + directory_ +
                          "/registry' " KORVALIS_COMMAND " call " +
                          (progid.empty() ? class_id_ : progid) + " " + arguments + " 2> '" + err +
                          "'",
                      err);
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream(directory_ + "/" + name, std::ios::binary) << bytes;
    return name;
  }
  std::string Read(const std::string& name) {
    std::ifstream file(directory_ + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  bool Exists(const std::string& name) { return std::filesystem::exists(directory_ + "/" + name); }

  korvalis::testing::TempDirectory scratch_{"korvalis-call-bytes"};
  const std::string directory_ = scratch_.path();
  const std::string class_id_ =
      korvalis::ToUtf8(korvalis::GuidToRegistryString(korvalis::tools::testing::CLSID_ByteEcho));
};

TEST_F(CallBytesTest, BytesTravelExactlyThroughArgumentsAndAnswers) {
  const std::vector<std::string> payloads = {
      std::string(),
      std::string("\x9c", 1),
      std::string("\x01\xfe\x7f", 3),
      std::string("\x00\xd8\x41\x00", 4),          // a lone high surrogate: no UTF-16 text
      std::string("\x41\x00\x00\x00\x42\x00", 6),  // a zero character in the middle
      std::string("a\0b", 3),                      // a zero byte in the middle, odd length
      Megabyte(),
  };
  for (const std::string& bytes : payloads) {
    SCOPED_TRACE("payload of " + std::to_string(bytes.size()) + " bytes");
    Write("in", bytes);
    // What reached the method, then what its answer carried.
    Outcome outcome = Call("Describe --bytes in -- Echo --bytes in --out out");
    ASSERT_EQ(outcome.status, 0) << outcome.out.substr(0, 500);
    EXPECT_TRUE(outcome.out == Description(bytes) + "\n") << outcome.out.substr(0, 500);
    EXPECT_TRUE(Read("out") == bytes);
  }

  // Standard input, and one answer file per method of a chain.
  Write("small", "\x01\x02\x03");
  Outcome piped = Call("Echo --bytes - --out big -- Echo --bytes small --out small.out < in");
  ASSERT_EQ(piped.status, 0) << piped.out.substr(0, 500);
  EXPECT_EQ(piped.out, "");
  EXPECT_TRUE(Read("big") == Megabyte());
  EXPECT_EQ(Read("small.out"), "\x01\x02\x03");
  // An answer may hold patient records: a new answer file is its owner's only.
  EXPECT_EQ(std::filesystem::status(directory_ + "/big").permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  // An answer written to a device reaches it as it is: here the command's own output.
  for (const char* output : {"/dev/stdout", "-"}) {
    Outcome device = Call(std::string("Echo --bytes small --out ") + output);
    ASSERT_EQ(device.status, 0) << output;
    EXPECT_EQ(device.out, "\x01\x02\x03") << output;
  }

  // A shorter answer replaces a longer content whole.
  Write("out", "an older and longer content");
  ASSERT_EQ(Call("Echo --bytes small --out out").status, 0);
  EXPECT_EQ(Read("out"), "\x01\x02\x03");
}

TEST_F(CallBytesTest, TextArgumentsStayTextsAndOnlyTextAnswersArePrinted) {
  Outcome texts = Call("Describe 'A@' -- Describe @@x -- Describe @@@ -- Describe 病");
  ASSERT_EQ(texts.status, 0) << texts.out;
  EXPECT_EQ(texts.out, "4:41004000\n4:40007800\n4:40004000\n2:c575\n");

  std::string utf16;
  korvalis::AppendUtf16Le(u"<root>病历 \U0001F600</root>", utf16);
  Write("text", utf16);
  Outcome text = Call("Echo --bytes text");
  ASSERT_EQ(text.status, 0) << text.out;
  EXPECT_EQ(text.out, "<root>病历 \U0001F600</root>\n");

  const std::pair<std::string, std::string> binary[] = {
      {std::string("\x01\xfe\x7f", 3), "(3 bytes that are not UTF-16 text"},
      {std::string("\x00\xd8\x41\x00", 4), "(4 bytes that are not UTF-16 text"},
      {std::string("\x41\x00\x00\xdc", 4), "(4 bytes that are not UTF-16 text"},
      {std::string("\x41\x00\x00\x00\x42\x00", 6), "(6 bytes that are not UTF-16 text"},
  };
  for (const auto& [bytes, notice] : binary) {
    Write("in", bytes);
    Outcome outcome = Call("Echo --bytes in");
    SCOPED_TRACE(Hex(bytes) + ": " + outcome.out);
    ASSERT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out.find(notice), 0u);
    EXPECT_NE(outcome.out.find("--out FILE"), std::string::npos);
    EXPECT_EQ(outcome.out.find("\xEF\xBF\xBD"), std::string::npos);  // no U+FFFD
    EXPECT_EQ(outcome.out.find('\0'), std::string::npos);
  }
}

TEST_F(CallBytesTest, TextFilesAndTextAnswersTravelAsUtf8) {
  // A UTF-8 file is passed as its text, a byte-order mark skipped; the text answer is written
  // as it is printed, its declaration naming UTF-8, and passes back unchanged.
  const std::string document = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><root>病历</root>";
  const std::string printed = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><root>病历</root>";
  std::string utf16;
  korvalis::AppendUtf16Le(korvalis::FromUtf8(document), utf16);
  Write("document.txt", "\xEF\xBB\xBF" + document);
  Outcome saved = Call("Describe @document.txt -- Echo @document.txt --out saved.xml");
  ASSERT_EQ(saved.status, 0) << saved.out;
  EXPECT_EQ(saved.out, Description(utf16) + "\n");
  EXPECT_EQ(Read("saved.xml"), printed);
  std::string printed_utf16;
  korvalis::AppendUtf16Le(korvalis::FromUtf8(printed), printed_utf16);
  Outcome passed_back = Call("Describe @- < saved.xml");
  EXPECT_EQ(passed_back.out, Description(printed_utf16) + "\n");

  // A file that is no UTF-8 text is refused by name before any call, saying how to convert
  // it; a NUL in other text, which no conversion mends, points at --bytes.
  Write("latin1.txt", "tea\ncaf\xE9 au lait");
  Write("utf16.xml", "\xFF\xFE" + utf16);
  Write("nul.txt", std::string("a\0b", 3));
  const struct {
    const char* file;
    const char* told;
  } refusals[] = {
      {"latin1.txt",
       "cannot pass latin1.txt as text: it is not UTF-8 (line 2, byte 8); convert "
       "it to UTF-8 (one saved as GBK: iconv -f GBK -t UTF-8 OLD > NEW) and pass "
       "@NEW\n"},
      {"utf16.xml",
       "cannot pass utf16.xml as text: it is UTF-16 (little-endian, with a "
       "byte-order mark), not UTF-8; convert it to UTF-8 (iconv -f UTF-16 -t UTF-8 "
       "OLD > NEW) and pass @NEW\n"},
      {"nul.txt",
       "cannot pass nul.txt as text: it holds a NUL byte (line 1, byte 2), which no "
       "text holds; --bytes nul.txt passes bytes as they are\n"},
  };
  for (const auto& [file, told] : refusals) {
    Outcome refused = Call(std::string("Echo @document.txt --out first -- Echo @") + file);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find(told), std::string::npos) << refused.out;
    EXPECT_FALSE(Exists("first"));
  }
}

TEST_F(CallBytesTest, CompressedTextIsSavedAsBytesAndExpandedOnRequest) {
  const std::u16string text = u"<root>病历 \U0001F600</root>";
  BSTR packed = korvalis::AllocBstr(text);
  CreateCompression(1)->CompressBstr(packed);
  const std::string compressed(reinterpret_cast<const char*>(packed), SysStringByteLen(packed));
  SysFreeString(packed);
  Write("packed.bin", compressed);

  Outcome shown = Call("Echo --bytes packed.bin");
  ASSERT_EQ(shown.status, 0) << shown.out;
  EXPECT_EQ(shown.out.find("(" + std::to_string(compressed.size()) +
                           " bytes of compressed text; add --expand"),
            0u)
      << shown.out;
  Outcome expanded =
      Call("Echo --bytes packed.bin --expand -- Echo --bytes packed.bin --expand --out text.xml "
           "-- Echo --bytes packed.bin --out copy.bin");
  ASSERT_EQ(expanded.status, 0) << expanded.out;
  EXPECT_EQ(expanded.out, "<root>病历 \U0001F600</root>\n");
  EXPECT_EQ(Read("text.xml"), "<root>病历 \U0001F600</root>");
  EXPECT_TRUE(Read("copy.bin") == compressed);

  // An answer that is no compressed text is not expanded, and its file is not made.
  Write("plain.txt", "<root/>");
  Outcome plain = Call("Echo @plain.txt --expand --out never.xml");
  EXPECT_EQ(plain.status, 1);
  EXPECT_NE(plain.out.find("the answer (14 bytes) is no compressed text to expand"),
            std::string::npos)
      << plain.out;
  EXPECT_FALSE(Exists("never.xml"));
}

TEST_F(CallBytesTest, UnreadableFilesFailBeforeAnyCall) {
  Write("in", "bytes");
  Write("kept", "kept content");
  std::filesystem::create_directory(directory_ + "/folder");
  const std::pair<std::string, std::string> failures[] = {
      {"@missing", "cannot read missing: No such file or directory"},
      {"--bytes missing", "cannot read missing: No such file or directory"},
      {"@folder", "cannot read folder: Is a directory"},
      // A file without end is refused at the bound, not read until memory runs out.
      {"@/dev/zero", "/dev/zero holds more than 64 MB, the limit of one argument"},
      {"--bytes /dev/zero", "/dev/zero holds more than 64 MB, the limit of one argument"},
  };
  for (const auto& [argument, message] : failures) {
    // The first method would write its answer file if it were called.
    Outcome outcome = Call("Echo @in --out first -- Echo @in --out kept -- Echo " + argument);
    SCOPED_TRACE(argument + ": " + outcome.out);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.out.find("korvalis: " + message), std::string::npos);
    EXPECT_FALSE(Exists("first"));
    EXPECT_EQ(Read("kept"), "kept content");
  }

  Outcome unwritable = Call("Echo @in --out first -- Echo @in --out no/such/folder/out");
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.out.find("cannot write no/such/folder/out: No such file or directory"),
            std::string::npos)
      << unwritable.out;
  EXPECT_FALSE(Exists("first"));
}

TEST_F(CallBytesTest, MalformedWordsAreRefusedBeforeAnyCall) {
  Write("in", "bytes");
  const std::pair<std::string, std::string> refused[] = {
      {"Echo @- -- Echo --bytes -", "standard input (@- or --bytes -) can be read by one"},
      {"Echo @in --out", "--out of Echo names no file"},
      {"Echo --bytes -- Echo @in", "--bytes of Echo names no file"},
      {"Echo @in --out -- Echo @in", "--out of Echo names no file"},
      {"Echo @in --out a --out b", "Echo has more than one --out"},
      {"Echo @", "a file name is missing after \"@\""},
      {"Echo @in --out first --", "a method name is missing"},
  };
  for (const auto& [words, message] : refused) {
    Outcome outcome = Call("Echo @in --out first -- " + words + " < in");
    SCOPED_TRACE(words + ": " + outcome.out);
    EXPECT_EQ(outcome.status, 2);
    EXPECT_NE(outcome.out.find(message), std::string::npos);
    EXPECT_FALSE(Exists("first"));
  }
}

TEST_F(CallBytesTest, FailedCallsLeaveAnswerFilesAlone) {
  Write("in", "bytes");
  Write("kept", "kept content");
  // Echo without its argument is refused before the first call; the answer files are left as
  // they were.
  Outcome failed = Call("Echo @in --out first -- Echo --out kept -- Echo @in --out third");
  EXPECT_EQ(failed.status, 2);
  EXPECT_NE(failed.out.find("takes 1 argument, not 0: Echo([in] BSTR bstrBytes"),
            std::string::npos)
      << failed.out;
  EXPECT_FALSE(Exists("first"));
  EXPECT_EQ(Read("kept"), "kept content");
  EXPECT_FALSE(Exists("third"));

  // A method that answers no text has nothing for --out to write: refused before calling.
  Outcome registered = RunCommand("KORVALIS_REGISTRY='" + directory_ +
                                  "/registry' " KORVALIS_COMMAND " regsvr " KORVALIS_LIBRARY);
  ASSERT_EQ(registered.status, 0) << registered.out;
  Outcome no_text = Call("DeleteOpenRule a b c --out first", "QualityRule");
  EXPECT_EQ(no_text.status, 2);
  EXPECT_NE(no_text.out.find("korvalis.QualityRule.DeleteOpenRule answers no text for --out"),
            std::string::npos)
      << no_text.out;
  EXPECT_NE(Call("DeleteOpenRule a b c --expand", "QualityRule")
                .out.find("answers no text for --expand to show"),
            std::string::npos);
}

// An answer that cannot all be written (here past the file size limit, as on a full disk) fails
// the command and leaves no file where there was none and an earlier file as it was; written
// whole, it takes the earlier file's place and mode.
TEST_F(CallBytesTest, AnAnswerWrittenInPartLeavesTheFileAsItWas) {
  Write("in", Megabyte());
  Write("kept", "an earlier answer");
  std::filesystem::permissions(directory_ + "/kept", std::filesystem::perms(0640));
  for (const std::string name : {"new", "kept"}) {
    Outcome full = RunCommand("cd '" + directory_ + "' && trap '' XFSZ && ulimit -f 64 && " +
                              "KORVALIS_REGISTRY='" + directory_ + "/registry' " KORVALIS_COMMAND
                              " call " + class_id_ + " Echo --bytes in --out " + name + " 2>&1");
    EXPECT_EQ(full.status, 1) << name;
    // The method did its work: only its answer is lost.
    EXPECT_NE(full.out.find(".Echo was called and answered, but cannot write the answer to " +
                            name + ": File too large"),
              std::string::npos)
        << full.out;
  }
  EXPECT_FALSE(Exists("new"));
  EXPECT_EQ(Read("kept"), "an earlier answer");
  for (const auto& entry : std::filesystem::directory_iterator(directory_)) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "in" || name == "kept" || name.starts_with("registry")) << name;
  }

  ASSERT_EQ(Call("Echo --bytes in --out kept").status, 0);
  EXPECT_TRUE(Read("kept") == Megabyte());
  EXPECT_EQ(std::filesystem::status(directory_ + "/kept").permissions(),
            std::filesystem::perms(0640));
}

// A call ended by a signal (or by a reader that went away) removes the temporary event log it
// made for itself and the new file of an answer not yet written, and ends by that signal.
TEST_F(CallBytesTest, ACallEndedByASignalLeavesNoTemporaryFileBehind) {
  const std::string temporary = directory_ + "/tmp";
  std::filesystem::create_directory(temporary);
  Write("big", std::string(1 << 20, 'x'));
  std::string registry = "KORVALIS_REGISTRY=" + directory_ + "/registry";
  std::string folder = "TMPDIR=" + temporary;
  char* const environment[] = {registry.data(), folder.data(), nullptr};
  const auto files = [&](const std::string& where) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(where)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  };
  const std::vector<std::string> before = files(directory_);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    SCOPED_TRACE(signal_number);
    int output[2];
    ASSERT_EQ(::pipe(output), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // The first answer fills the pipe that nobody reads: the call waits in its printing, the
      // second answer's new file made already.
      ::dup2(output[1], STDOUT_FILENO);
      ::close(output[0]);
      if (::chdir(directory_.c_str()) != 0) ::_exit(126);
      ::execle(KORVALIS_COMMAND, KORVALIS_COMMAND, "call", class_id_.c_str(), "Echo", "@big", "--",
               "Echo", "@big", "--out", "answer", nullptr, environment);
      ::_exit(127);
    }
    ::close(output[1]);
    for (int i = 0; i < 500 && files(temporary).empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(files(temporary).size(), 1u);
    EXPECT_TRUE(files(temporary)[0].starts_with("korvalis-events-"));
    EXPECT_EQ(files(directory_).size(), before.size() + 1);  // the answer's new file
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // The reader goes away only after the signal ended the call, or as the signal.
    if (signal_number == SIGPIPE) ::close(output[0]);
    if (signal_number != SIGPIPE) ::kill(child, signal_number);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (signal_number != SIGPIPE) ::close(output[0]);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
    EXPECT_TRUE(files(temporary).empty());
    EXPECT_EQ(files(directory_), before);
  }
}

}  // namespace
