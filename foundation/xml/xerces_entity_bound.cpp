#include "foundation/xml/xerces_entity_bound.h"

#include <xercesc/internal/XMLReader.hpp>
#include <xercesc/util/BinMemInputStream.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include <cstdlib>
#include <cstring>
#include <new>

#include "foundation/log/event_log_entry.h"
#include "platform/text/unicode.h"

using xercesc::MemoryManager;

namespace {

// Each block carries its size before it, so that what is freed is counted off; the size is
// padded to keep the block aligned as malloc's are.
constexpr std::size_t kHeaderBytes = alignof(std::max_align_t);

// A parse's usual memory for each byte of its text, far beyond a tree of the smallest elements.
constexpr std::size_t kHeldPerTextByte = 64;
// What the entities' expansion may add, as UTF-16 in buffers grown by doubling.
constexpr std::size_t kHeldForEntities = 4 * korvalis::xml::kMaxExpansionBytes;
// What a parse stopped may take more while it unwinds.
constexpr std::size_t kUnwindingBytes = std::size_t{1} << 20;

// Whether a block is a reader, which Xerces makes for the text and for each expansion of an
// entity, in content, in an attribute's value or in a default alike: the reader (160 KB, nothing
// else a parse makes is near its size; a document's heap grows in powers of two) behind the few
// bytes of Xerces' header.
bool IsReader(std::size_t size) {
  return size >= sizeof(xercesc::XMLReader) && size - sizeof(xercesc::XMLReader) <= 64;
}

// The address of the virtual table of Xerces' stream over text in memory, which the reader of an
// internal entity reads from: what tells such a stream from any other block.
const void* MemoryStreamTable() {
  static const void* const table = [] {
    xercesc::BinMemInputStream probe(nullptr, 0, xercesc::BinMemInputStream::BufOpt_Reference);
    const void* read = nullptr;
    std::memcpy(&read, static_cast<const void*>(&probe), sizeof read);
    return read;
  }();
  return table;
}

std::string Utf8(const XMLCh* text) {
  return text == nullptr ? std::string() : korvalis::ToUtf8(std::u16string_view(text));
}

}  // namespace

xercesc::SecurityManager* XercesEntityLimits() {
  static xercesc::SecurityManager* const limits = [] {
    auto* made = new xercesc::SecurityManager;
    made->setEntityExpansionLimit(2 * kMaxEntityExpansions);
    return made;
  }();
  return limits;
}

void LogEntitiesRefused(std::u16string_view failure, std::string_view cause) {
  CEventLogEntry(std::u16string(failure) + u" " + korvalis::FromUtf8(cause), CEventLogEntry::kError)
      .Report();
}

void XercesEntityBound::Begin(std::size_t text_bytes) {
  declared_.clear();
  budget_.reset();
  nesting_ = 0;
  most_held_ = 0;
  text_bytes_ = text_bytes;
  watching_ = true;
  readers_ = 0;
  open_readers_ = 0;
  refused_ = {};
}

void XercesEntityBound::Declare(const XMLCh* name, const XMLCh* value) {
  if (name == nullptr || name[0] == u'%') return;
  if (budget_ == nullptr) {
    budget_ = std::make_unique<korvalis::xml::ExpansionBudget>(
        [this](std::string_view entity) -> std::optional<std::string_view> {
          auto found = declared_.find(std::string(entity));
          if (found == declared_.end()) return std::nullopt;
          return std::string_view(found->second);
        });
    most_held_ = held_ + kHeldPerTextByte * text_bytes_ + kHeldForEntities;
  }
  // The first declaration counts: a later one of the same name is ignored, as by the parser.
  declared_.try_emplace(Utf8(name), Utf8(value));
}

void XercesEntityBound::BeginReference(const XMLCh* name) {
  if (nesting_++ > 0 || budget_ == nullptr) return;
  const std::string_view refused = budget_->Spend(Utf8(name));
  if (refused.empty()) return;
  refused_ = refused;
  throw EntitiesRefused();
}

void XercesEntityBound::EndReference() {
  if (nesting_ > 0) --nesting_;
}

MemoryManager* XercesEntityBound::getExceptionMemoryManager() {
  return xercesc::XMLPlatformUtils::fgMemoryManager;
}

void* XercesEntityBound::allocate(XMLSize_t size) {
  // The readers open at once are the text's and one for each entity in the chain being read.
  const bool reader = watching_ && IsReader(size);
  if (reader && refused_.empty() &&
      (readers_ > kMaxEntityExpansions || open_readers_ > korvalis::xml::kMaxEntityNesting)) {
    refused_ = readers_ > kMaxEntityExpansions ? korvalis::xml::kExpansionRefused
                                               : korvalis::xml::kNestingRefused;
    DeleteStreamOfRefusedReader();
    throw EntitiesRefused();
  }
  if (most_held_ != 0 && held_ + size > most_held_) {
    // The parse's unwinding may allocate a little, a parse carrying on would soon meet this again.
    most_held_ = held_ + kUnwindingBytes;
    refused_ = korvalis::xml::kExpansionRefused;
    throw EntitiesRefused();
  }
  if (reader) {
    ++readers_;
    ++open_readers_;
  }
  auto* block = static_cast<unsigned char*>(std::malloc(kHeaderBytes + size));
  if (block == nullptr) throw xercesc::OutOfMemoryException();
  *reinterpret_cast<std::size_t*>(block) = size;
  held_ += size;
  last_allocated_ = block + kHeaderBytes;
  last_size_ = size;
  return last_allocated_;
}

void XercesEntityBound::DeleteStreamOfRefusedReader() {
  // Xerces makes an internal entity's reader right after the stream it reads, which the reader
  // adopts: with the reader's allocation refused, nothing else would ever delete the stream.
  // The last block is that stream when it is an object Xerces made here (its header names this
  // manager) of the stream's size and its virtual table.
  const std::size_t header =
      xercesc::XMLPlatformUtils::alignPointerForNewBlockAllocation(sizeof(MemoryManager*));
  if (last_allocated_ == nullptr || last_size_ != header + sizeof(xercesc::BinMemInputStream)) {
    return;
  }
  MemoryManager* maker = nullptr;
  std::memcpy(&maker, last_allocated_, sizeof maker);
  const void* table = nullptr;
  std::memcpy(&table, static_cast<unsigned char*>(last_allocated_) + header, sizeof table);
  if (maker != this || table != MemoryStreamTable()) return;
  delete reinterpret_cast<xercesc::BinMemInputStream*>(static_cast<unsigned char*>(last_allocated_) +
                                                       header);
}

void XercesEntityBound::deallocate(void* memory) {
  if (memory == nullptr) return;
  if (memory == last_allocated_) last_allocated_ = nullptr;
  auto* block = static_cast<unsigned char*>(memory) - kHeaderBytes;
  const std::size_t size = *reinterpret_cast<std::size_t*>(block);
  held_ -= size;
  if (IsReader(size) && open_readers_ > 0) --open_readers_;
  std::free(block);
}
