// The bound of entity_bound.h held over libxml2's own work on entities while it parses: libxml2
// asks its parser's entity lookup for every reference it meets, in content, in attribute values
// and in attribute defaults, and for every reference nested in an entity's text that it expands
// itself (an attribute's value, an entity's first reading). Each lookup of an entity the document
// declares with its own text costs kReferenceCost and that text's bytes, the most that libxml2
// reads or copies for it; once the lookups together pass kMaxExpansionBytes the parse is stopped
// there, the entity not found. So a parse is bounded in time and memory even where libxml2's own
// measure of entities is off (XML_PARSE_HUGE), and the bound is held on top of that measure where
// it is on.
//
// Usage:
//   ParserEntityBound bound(parser);     // watches the lookups of `parser` from now on
//   { ParserEntityBound::Parsing parsing(bound);  xmlParseChunk(parser, ...); }
//   if (!bound.Refused().empty()) ...  // the document is dropped, whatever the parser says
//
// Thread-safety: a bound belongs to one parser on one thread; its lookups are counted only while a
// Parsing of it lives on that thread (a lookup outside one stops the parse).
#pragma once

#include <cstddef>
#include <string_view>

struct _xmlParserCtxt;
struct _xmlEntity;

namespace korvalis::xml {

class ParserEntityBound {
 public:
  // Precondition: `parser` was made by libxml2 (it owns its SAX handler) and outlives the bound.
  explicit ParserEntityBound(_xmlParserCtxt* parser);
  ParserEntityBound(const ParserEntityBound&) = delete;
  ParserEntityBound& operator=(const ParserEntityBound&) = delete;

  // The bound counting this thread's lookups while it lives.
  class Parsing {
   public:
    explicit Parsing(ParserEntityBound& bound);
    ~Parsing();
    Parsing(const Parsing&) = delete;
    Parsing& operator=(const Parsing&) = delete;

   private:
    ParserEntityBound* outer_;
  };

  // Why the parse was stopped (kExpansionRefused), empty while it was not.
  std::string_view Refused() const { return refused_; }

 private:
  static _xmlEntity* Lookup(void* context, const unsigned char* name);

  _xmlParserCtxt* parser_;
  _xmlEntity* (*lookup_)(void*, const unsigned char*);  // the parser's own lookup
  std::size_t spent_ = 0;
  std::string_view refused_;
};

}  // namespace korvalis::xml
