#include "platform/xml/worker/transform_child.h"

#include <fcntl.h>
#include <libxml/xmlerror.h>
#include <libxslt/xsltutils.h>
#include <malloc.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/sys/message_socket.h"
#include "platform/text/utf8.h"
#include "platform/xml/child_end.h"
#include "platform/xml/dom.h"
#include "platform/xml/memory_budget.h"
#include "platform/xml/transform_protocol.h"
#include "platform/xml/worker/child_sandbox.h"
#include "platform/xml/worker/xslt_processor.h"

namespace korvalis::xml {
namespace {

// Address space the child may take beyond its counted working memory: the allocator's own
// reserves, the texts it receives, the buffer of its page.
constexpr std::size_t kUncountedBytes = std::size_t{256} << 20;
// The longest note kept; more of the processor's messages is dropped.
constexpr std::size_t kMaxNoteBytes = 4096;

// A child that answered this many transformations ends with the last, so that no heap grows on
// without end; so does one whose memory once passed kMaxReusedPeakKilobytes, so that no large
// report's memory is held by a child that waits.
constexpr int kTransformationsPerChild = 64;
constexpr long kMaxReusedPeakKilobytes = 64 * 1024;
// A child whose memory once passed this gives back, once it has answered, what its heap holds
// free, so that a child that waits holds little more than a spare; a smaller one has little
// to give back and waits at once.
constexpr long kTrimmedPeakKilobytes = 16 * 1024;

// The child has one transformation at a time, so plain statics carry it; none of them allocates.
sys::MessageSocket* connection = nullptr;
char note[kMaxNoteBytes];
std::size_t note_length = 0;

// Ends the process without an answer: its exit code tells the worker why.
[[noreturn]] void Leave(int code) { ::_exit(code); }

// The exit of a child whose send failed with `error`: a host that has gone hears nothing more.
[[noreturn]] void LeaveAfterFailedSend(int error) {
  Leave(sys::MessageSocket::PeerGone(error) ? kChildLostItsHost : kChildMisread);
}

// Sends the outcome with the note and ends the process: no destructor, no atexit handler, and
// nothing allocated, so that it may be called from inside an allocator.
[[noreturn]] void End(TransformOutcome outcome) {
  if (!connection->Send(Kind(TransformMessage::kEnd), static_cast<std::uint32_t>(outcome),
                        std::string_view(note, note_length))) {
    LeaveAfterFailedSend(errno);
  }
  Leave(kChildSentItsEnd);
}

// Sends the end of a whole page, which carries the page's last piece, and ends the process.
[[noreturn]] void EndWithPage(std::string_view last_piece) {
  if (!connection->Send(Kind(TransformMessage::kEnd),
                        static_cast<std::uint32_t>(TransformOutcome::kDone), last_piece)) {
    LeaveAfterFailedSend(errno);
  }
  Leave(kChildSentItsEnd);
}

void EndForMemory(void*) { End(TransformOutcome::kOutOfMemory); }
void EndForNew() { End(TransformOutcome::kOutOfMemory); }

// The processor's messages (xsl:message included) go with the outcome to the host.
void NoteMessage(void*, const char* format, ...) {
  char text[1024];
  va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  if (length <= 0) return;
  const std::size_t taken =
      std::min({static_cast<std::size_t>(length), sizeof text - 1, kMaxNoteBytes - note_length});
  std::memcpy(note + note_length, text, taken);
  note_length += taken;
}

// The page goes to the host in messages while its length as UTF-16 stays within `max_units`;
// its last piece, shorter than a message, waits in `buffer` to travel with the end.
struct PageWriter {
  std::size_t units = 0;
  std::size_t max_units = 0;
  std::string buffer;
};

bool SendPage(PageWriter& page) {
  const bool sent = connection->Send(Kind(TransformMessage::kPage), 0, page.buffer);
  page.buffer.clear();
  return sent;
}

int WritePage(void* context, const char* bytes, int length) {
  auto* page = static_cast<PageWriter*>(context);
  for (int i = 0; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    // A UTF-8 sequence's first byte counts its UTF-16 units: two for four bytes.
    if ((byte & 0xC0) != 0x80) page->units += Utf8SequenceWidth(byte) == 4 ? 2 : 1;
  }
  if (page->units > page->max_units) End(TransformOutcome::kTooLarge);
  const std::size_t limit = connection->PayloadLimit();
  std::string_view rest(bytes, static_cast<std::size_t>(length));
  while (!rest.empty()) {
    const std::size_t room = limit - page->buffer.size();
    page->buffer.append(rest.substr(0, room));
    rest.remove_prefix(std::min(room, rest.size()));
    if (page->buffer.size() == limit && !SendPage(*page)) LeaveAfterFailedSend(errno);
  }
  return length;
}

// The length of the longest start of `text` that ends after a whole UTF-8 character.
std::size_t WholeCharacters(std::string_view text) {
  const std::size_t size = text.size();
  for (std::size_t back = 1; back <= 4 && back <= size; ++back) {
    const auto byte = static_cast<unsigned char>(text[size - back]);
    if ((byte & 0xC0) == 0x80) continue;
    const std::size_t needed = Utf8SequenceWidth(byte);
    return needed > back ? size - back : size;
  }
  return size;
}

// The texts as they arrive: the style sheet held whole, the source parsed piece by piece when
// the system wrote it, held whole for the parser's limits when a caller did.
struct ReceivedTexts {
  TransformOrder order{};
  std::string stylesheet;
  std::string source;
  std::string carried;  // the start of a character split between two messages
  DocumentLoader loader;

  void AddSource(std::string_view piece) {
    if (order.source_writer == TextWriter::kCaller) {
      source.append(piece);
      return;
    }
    if (!carried.empty()) {
      carried.append(piece);
      piece = carried;
    }
    const std::size_t whole = WholeCharacters(piece);
    loader.Append(piece.substr(0, whole));
    std::string rest(piece.substr(whole));
    carried.swap(rest);
  }
};

// Reads the texts up to kRun; a connection closed before it ends the child without an answer.
void ReceiveTexts(ReceivedTexts& texts) {
  sys::Message message;
  for (;;) {
    if (connection->Receive(message) != sys::MessageSocket::Received::kMessage) {
      Leave(kChildLostItsHost);
    }
    switch (static_cast<TransformMessage>(message.kind)) {
      case TransformMessage::kStylesheet:
        texts.stylesheet.append(message.payload);
        break;
      case TransformMessage::kSource:
        texts.AddSource(message.payload);
        break;
      case TransformMessage::kRun:
        return;
      default:
        Leave(kChildMisread);
    }
  }
}

Document::Writer WriterOf(TextWriter writer) {
  return writer == TextWriter::kCaller ? Document::Writer::kCaller : Document::Writer::kSystem;
}

// Ends for a text that did not load (a loaded one has a document element), the note naming why.
[[noreturn]] void EndNotLoaded(TransformOutcome outcome, const char* text,
                               const Document& document) {
  NoteMessage(nullptr, "the %s does not load: %s", text, document.LoadFailure().c_str());
  End(outcome);
}

// The documents, loaded within a budget of their own: the source is the data the caller
// bounded (a report's rows to the content bound), and its tree is not the style sheet's work.
// The densest source the content bound admits (260,000 rows of 20 one-character values) takes
// 1.3 GB as a tree, so the documents may take twice the work's budget.
constexpr std::size_t kLoadingBudgets = 2;

void LoadDocuments(const TransformOrder& order, Document& source, Document& stylesheet) {
  MemoryBudget loading(kLoadingBudgets * order.max_working_bytes);
  loading.OnExceeded(EndForMemory, nullptr);
  ReceivedTexts texts;
  texts.order = order;
  ReceiveTexts(texts);
  const bool loaded = order.source_writer == TextWriter::kCaller
                          ? source.LoadXml(texts.source, Document::Writer::kCaller)
                          : texts.carried.empty() && texts.loader.Finish(source);
  if (!loaded) EndNotLoaded(TransformOutcome::kSourceNotLoaded, "source", source);
  if (!stylesheet.LoadXml(texts.stylesheet, WriterOf(order.stylesheet_writer))) {
    EndNotLoaded(TransformOutcome::kStylesheetNotLoaded, "style sheet", stylesheet);
  }
}

// Transforms and sends the page but its last piece, left in `page` for the end; every other end
// ends the process. The documents and the processor's work are freed on return, before the host
// is told.
void Transform(const TransformOrder& order, PageWriter& page) {
  xmlSetGenericErrorFunc(nullptr, NoteMessage);
  xsltSetGenericErrorFunc(nullptr, NoteMessage);
  Document source;
  Document stylesheet;
  LoadDocuments(order, source, stylesheet);

  MemoryBudget working(order.max_working_bytes);
  working.OnExceeded(EndForMemory, nullptr);
  page.max_units = order.max_output_units;
  page.buffer.reserve(connection->PayloadLimit());
  xmlOutputBufferPtr output = xmlOutputBufferCreateIO(WritePage, nullptr, &page, nullptr);
  if (output == nullptr) End(TransformOutcome::kFailed);
  if (!TransformToOutput(source, stylesheet, output, nullptr, NoteMessage)) {
    End(TransformOutcome::kFailed);
  }
}

// The address space the process `pid` has mapped now, from /proc; 0 when it cannot be read.
std::size_t MappedBytes(pid_t pid) {
  const std::string path = "/proc/" + std::to_string(pid) + "/statm";
  const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) return 0;
  char text[64] = {};
  const ssize_t length = ::read(file, text, sizeof text - 1);
  ::close(file);
  if (length <= 0) return 0;
  return static_cast<std::size_t>(std::strtoull(text, nullptr, 10)) *
         static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

// The hard limit of `resource` of the calling process.
rlim_t HardLimit(int resource) {
  rlimit current{};
  return ::getrlimit(resource, &current) == 0 ? current.rlim_max : RLIM_INFINITY;
}

// Sets the child's limit of `resource` to `soft`, below the hard one `hard`, which stays so that
// the next transformation of the process may be given its own.
int SetLimit(pid_t child, int resource, rlim_t soft, rlim_t hard) {
  if (hard != RLIM_INFINITY) soft = std::min(soft, hard);
  const rlimit limit{soft, hard};
  return ::prlimit(child, static_cast<__rlimit_resource>(resource), &limit, nullptr) == 0 ? 0
                                                                                          : errno;
}

// What the process has spent after its `answered`th transformation.
struct Spent {
  bool may_serve_again;   // within its number of transformations and its peak of memory
  bool grew;              // its memory once passed kTrimmedPeakKilobytes
  std::uint32_t seconds;  // processor time, in whole seconds rounded up
};

Spent SpentAfter(int answered) {
  rusage usage{};
  if (::getrusage(RUSAGE_SELF, &usage) != 0) return {false, false, 0};
  const long long micro = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1'000'000LL +
                          usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
  return {answered < kTransformationsPerChild &&
              usage.ru_maxrss<kMaxReusedPeakKilobytes, usage.ru_maxrss> kTrimmedPeakKilobytes,
          static_cast<std::uint32_t>((micro + 999'999) / 1'000'000)};
}

// Closes every descriptor from `first` on: at once where the kernel can, else one by one up to
// the process's limit.
void CloseFrom(int first) {
  if (::close_range(static_cast<unsigned>(first), ~0U, 0) == 0) return;
  rlimit open_files{};
  const rlim_t last = ::getrlimit(RLIMIT_NOFILE, &open_files) == 0 ? open_files.rlim_cur : 65536;
  for (rlim_t descriptor = static_cast<rlim_t>(first); descriptor < last; ++descriptor) {
    ::close(static_cast<int>(descriptor));
  }
}

// The spare keeps its connection to the worker alone (as descriptor 3) beside the worker's
// standard ones (/dev/null, and the host's standard error for faults), and the default action of
// every signal but SIGPIPE. It ends with the worker.
void BecomeSpare(int spare, pid_t worker) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != worker) Leave(kChildLostItsHost);
  ::prctl(PR_SET_NAME, kSpareChildName);
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  if (spare != 3 && (::dup2(spare, 3) < 0)) Leave(kChildNotSetUp);
  CloseFrom(4);
}

// Waits for the worker's kStart: the transformation's connection and its order.
TransformOrder TakeTransformation(sys::MessageSocket& worker, int* descriptor) {
  sys::Message start;
  if (worker.Receive(start, std::nullopt, descriptor) != sys::MessageSocket::Received::kMessage) {
    Leave(kChildLostItsHost);
  }
  const std::optional<TransformOrder> order =
      start.kind == Kind(TransformMessage::kStart) && *descriptor >= 0 ? DecodeOrder(start.payload)
                                                                       : std::nullopt;
  if (!order) Leave(kChildMisread);
  return *order;
}

// The largest mapping written ahead: larger ones are reservations (a checked build's shadow
// memory), not memory a transformation writes.
constexpr std::uintptr_t kMaxWrittenAhead = std::uintptr_t{16} << 20;

// Writes back one byte a page of each private writable mapping /proc lists, the stack and those
// past kMaxWrittenAhead apart: the heap and the libraries' data, each page the worker's until a
// process writes it. The bytes are no object of the program's (in a checked build some are red
// zones), so the address checker leaves this function alone.
__attribute__((no_sanitize_address)) void WriteMappingsAhead() {
  const int file = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (file < 0) return;
  static char text[64 * 1024];
  std::size_t length = 0;
  for (ssize_t got = 1; got > 0 && length < sizeof text;) {
    got = ::read(file, text + length, sizeof text - length);
    if (got > 0) length += static_cast<std::size_t>(got);
  }
  ::close(file);
  const std::uintptr_t page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  std::string_view rest(text, length);
  // Each whole line: "first-last perms offset device inode [name]", addresses in hexadecimal.
  for (std::size_t line_end; (line_end = rest.find('\n')) != std::string_view::npos;
       rest.remove_prefix(line_end + 1)) {
    const std::string_view line = rest.substr(0, line_end);
    const char* const stop = line.data() + line.size();
    std::uintptr_t first = 0, last = 0;
    const auto [dash, first_error] = std::from_chars(line.data(), stop, first, 16);
    if (first_error != std::errc() || dash == stop || *dash != '-') continue;
    const auto [fields, last_error] = std::from_chars(dash + 1, stop, last, 16);
    if (last_error != std::errc() || last < first || last - first > kMaxWrittenAhead) continue;
    const std::string_view described(fields, static_cast<std::size_t>(stop - fields));
    if (!described.starts_with(" rw-p") || described.ends_with("[stack]")) continue;
    for (std::uintptr_t address = first; address < last; address += page) {
      volatile char* byte = reinterpret_cast<volatile char*>(address);
      *byte = *byte;
    }
  }
}

// The memory a transformation writes first, written ahead while the spare waits: what it shares
// with the worker, the next stretch of heap and of stack, so that the transformation finds them
// its own instead of faulting them in one by one.
void WriteAhead() {
  WriteMappingsAhead();
  constexpr std::size_t kHeapAhead = 512 * 1024;
  if (void* block = std::malloc(kHeapAhead); block != nullptr) {
    std::memset(block, 0, kHeapAhead);
    std::free(block);
  }
  constexpr std::size_t kStackAhead = 128 * 1024;
  volatile char stack[kStackAhead];
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  for (std::size_t offset = 0; offset < kStackAhead; offset += page) stack[offset] = 0;
  [[maybe_unused]] const char written = stack[0];
}

// Tells the worker, then the host, that the transformation is done, so that the worker finds the
// child free once the host hangs up on it (the worker reads it then, not woken before). The end
// carries the page's last piece, so that the host wakes once for both. A host that has gone
// meanwhile misses nothing; a worker that cannot be told ends the child once the host has its
// answer.
void AnswerDone(sys::MessageSocket& worker, std::uint32_t used_seconds,
                std::string_view last_piece) {
  const bool told =
      worker.Send(Kind(TransformMessage::kChildFree), 0, std::to_string(used_seconds));
  if (!told) EndWithPage(last_piece);
  connection->Send(Kind(TransformMessage::kEnd),
                   static_cast<std::uint32_t>(TransformOutcome::kDone), last_piece);
}

}  // namespace

int LimitChild(pid_t child, const TransformOrder& order, std::uint32_t used_seconds) {
  // Every child is forked from the worker: its hard limits, and what it maps before its work
  // (what a child keeps of its earlier work is within kUncountedBytes), are read once.
  static const rlim_t cpu_hard = HardLimit(RLIMIT_CPU);
  static const rlim_t space_hard = HardLimit(RLIMIT_AS);
  static const std::size_t mapped = MappedBytes(::getpid());
  // SIGXCPU once the transformation has used its time, counted from what the child had used;
  // none for a transformation without a limit.
  const int error =
      SetLimit(child, RLIMIT_CPU,
               order.cpu_seconds > 0 ? used_seconds + order.cpu_seconds : RLIM_INFINITY, cpu_hard);
  if (error != 0) return error;
  // The documents' budget and the work's, and what neither counts, beyond what the worker maps.
  return SetLimit(child, RLIMIT_AS,
                  mapped + (kLoadingBudgets + 1) * order.max_working_bytes + kUncountedBytes,
                  space_hard);
}

void RunSpareChild(int spare, pid_t worker, ChildSandbox& sandbox, bool write_ahead) {
  BecomeSpare(spare, worker);
  if (write_ahead) WriteAhead();
  // From here on the child may read what callers wrote: it holds nothing and may call little.
  const int unconfined = sandbox.Enter();
  sys::MessageSocket from_worker(3);
  std::uint32_t used_seconds = 0;
  for (int answered = 1;; ++answered) {
    int descriptor = -1;
    const TransformOrder order = TakeTransformation(from_worker, &descriptor);
    sys::MessageSocket socket(descriptor);
    connection = &socket;
    note_length = 0;
    ::prctl(PR_SET_NAME, kWorkingChildName);
    if (unconfined != 0) {
      NoteMessage(nullptr, "the transformation's process cannot be confined: %s",
                  std::strerror(unconfined));
      End(TransformOutcome::kUnavailable);
    }
    std::set_new_handler(EndForNew);
    PageWriter page;
    Transform(order, page);
    const Spent spent = SpentAfter(answered);
    if (!spent.may_serve_again) EndWithPage(page.buffer);
    used_seconds = spent.seconds;
    ::prctl(PR_SET_NAME, kSpareChildName);
    AnswerDone(from_worker, used_seconds, page.buffer);
    if (spent.grew) ::malloc_trim(0);
  }
}

}  // namespace korvalis::xml
