#include "platform/xml/parser_entity_bound.h"

#include <libxml/entities.h>
#include <libxml/parser.h>

#include "platform/xml/entity_bound.h"

namespace korvalis::xml {
namespace {

// The bound whose Parsing lives on this thread, if any.
thread_local ParserEntityBound* t_counting = nullptr;

}  // namespace

ParserEntityBound::ParserEntityBound(xmlParserCtxtPtr parser)
    : parser_(parser), lookup_(parser->sax->getEntity) {
  parser->sax->getEntity = Lookup;
}

ParserEntityBound::Parsing::Parsing(ParserEntityBound& bound) : outer_(t_counting) {
  t_counting = &bound;
}

ParserEntityBound::Parsing::~Parsing() { t_counting = outer_; }

// `context` is the parser that met the reference: the watched one, or one libxml2 made to read
// an entity's text within it, which shares its SAX handler.
xmlEntityPtr ParserEntityBound::Lookup(void* context, const xmlChar* name) {
  auto* parser = static_cast<xmlParserCtxtPtr>(context);
  ParserEntityBound* bound = t_counting;
  if (bound != nullptr && bound->refused_.empty()) {
    xmlEntityPtr entity = bound->lookup_(context, name);
    if (entity == nullptr || entity->etype != XML_INTERNAL_GENERAL_ENTITY) return entity;
    const std::size_t bytes =
        kReferenceCost +
        (entity->content == nullptr ? 0 : static_cast<std::size_t>(entity->length));
    if (bytes <= kMaxExpansionBytes - bound->spent_) {
      bound->spent_ += bytes;
      return entity;
    }
    bound->refused_ = kExpansionRefused;
  }
  // The entity is not found and the parse ends here, with the parse that watches it.
  parser->wellFormed = 0;
  xmlStopParser(parser);
  if (bound != nullptr && bound->parser_ != parser) {
    bound->parser_->wellFormed = 0;
    xmlStopParser(bound->parser_);
  }
  return nullptr;
}

}  // namespace korvalis::xml
