// The bound on the work a document's internal entities make (platform/xml/entity_bound.h), held
// over a parse by Xerces, whose parsers tell of declarations and of references in content but
// expand references in attribute values and defaults unseen:
//   - each reference in the document's content is counted, with all it opens, before Xerces
//     expands it, and the parse is stopped there (EntitiesRefused) once the bound is passed;
//   - every expansion, wherever it stands, is counted as Xerces makes it: Xerces reads each from
//     a reader of its own, allocated here, and a parse that would make more than
//     kMaxEntityExpansions of them, or hold more than kMaxEntityNesting open at once within its
//     text's (a chain of entities, each referring to the next), is stopped (EntitiesRefused);
//   - the bytes references add in attribute values and defaults are held by memory: once the
//     text has declared an entity, the parse may hold no more than kMaxExpansionBytes four
//     times over (its text being UTF-16) beyond 64 times the text's own size (a parse's usual
//     tree), and the allocation past that stops it (EntitiesRefused).
// Xerces' own limit on expansions (XercesEntityLimits) stays on above these. A parse stopped so
// ends as any failed parse, and its parser may parse again. The bound is also the memory manager
// of the parser it watches, so that it sees what the parse makes; it must outlive that parser and
// everything the parser made.
//
// Thread-safety: one bound belongs to one parser on one thread.
#pragma once

#include <xercesc/framework/MemoryManager.hpp>
#include <xercesc/util/SecurityManager.hpp>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/xml/entity_bound.h"

// Thrown from a parser's callback or allocation to stop a parse whose entities pass the bound.
struct EntitiesRefused {};

// The expansions a parse may make: Xerces takes microseconds for each in content (it allocates a
// reader of 160 KB and ends it by an exception), so that its parse stops at half what the bound
// admits elsewhere, far above the pages' (130,000 cells with a reference in their text and in an
// attribute).
inline constexpr std::size_t kMaxEntityExpansions =
    korvalis::xml::kMaxExpansionBytes / korvalis::xml::kReferenceCost / 2;

// Xerces' own limit on the expansions of a parse, for every parser that reads a document type
// declaration: far above the pages' (130,000 references), and above kMaxEntityExpansions, so that
// the bound, which counts the expansions Xerces does not (in attribute defaults) and names its
// cause, stops a parse first.
xercesc::SecurityManager* XercesEntityLimits();

// Writes the refusal of a document for its entities to the event log: `failure`, the message
// the caller reads, and the cause.
void LogEntitiesRefused(std::u16string_view failure, std::string_view cause);

class XercesEntityBound : public xercesc::MemoryManager {
 public:
  // Starts watching a parse of a text of `text_bytes` bytes; End stops, the parse done, so that
  // what is made of its document afterwards is not held to the parse's bound.
  void Begin(std::size_t text_bytes);
  void End() {
    most_held_ = 0;
    watching_ = false;
  }

  // The parse met the declaration of an internal entity (a parameter entity's name, as SAX
  // reports it, starts with '%', and is not counted: its text is part of the declarations').
  void Declare(const XMLCh* name, const XMLCh* value);
  // A reference in content begins (Xerces reports those nested in an entity's text too) or ends.
  // Throws EntitiesRefused when a reference in the document's own text passes the bound.
  void BeginReference(const XMLCh* name);
  void EndReference();

  // Why the parse was refused for its entities, empty when it was not.
  std::string_view Refused() const { return refused_; }

  xercesc::MemoryManager* getExceptionMemoryManager() override;
  void* allocate(XMLSize_t size) override;
  void deallocate(void* memory) override;

 private:
  std::unordered_map<std::string, std::string> declared_;
  std::unique_ptr<korvalis::xml::ExpansionBudget> budget_;  // made at the first declaration
  std::size_t nesting_ = 0;         // references begun and not ended
  std::size_t held_ = 0;            // bytes allocated and not freed
  std::size_t most_held_ = 0;       // what the parse may hold, once it has declared an entity
  std::size_t text_bytes_ = 0;
  bool watching_ = false;    // between Begin and End
  std::size_t readers_ = 0;  // readers made since Begin: the text's own, and one per expansion
  std::size_t open_readers_ = 0;  // readers made since Begin and not yet freed
  std::string_view refused_;
  void* last_allocated_ = nullptr;  // the block last allocated, while it is held
  std::size_t last_size_ = 0;

  // Deletes the stream a reader refused at its allocation was to adopt.
  void DeleteStreamOfRefusedReader();
};
