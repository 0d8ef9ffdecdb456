// The one bound on the work a document's internal entities make, held by every parser that reads
// a document handed in (libxml2's trees, entity_expansion.h and parser_entity_bound.h; Xerces'
// property and DOM parsers, foundation/xml/): a reference costs the bytes of the text it stands
// for, its own references replaced by theirs, as if the document were written without the entity,
// and kReferenceCost more for each reference expanded, its own and the nested ones, so that
// references to empty entities cost work as text does; the document is refused once its
// references together would pass kMaxExpansionBytes, before the reference that passes it is
// expanded. A chain of entities nested deeper than kMaxEntityNesting (an entity referring to one
// that refers to another...) is refused too, for every document alike.
//
// Thread-safety: an ExpansionBudget belongs to one parse on one thread.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace korvalis::xml {

// Far beyond the entities of any page (130,000 &nbsp; cells cost 5 MB with their references, in
// an attribute of each cell too 10 MB),
// while an entity bomb (entities nested ten deep, an entity of a hundred kilobytes referenced
// thousands of times, millions of references to an empty entity) stops here, having expanded
// nothing past it.
inline constexpr std::size_t kMaxExpansionBytes = std::size_t{16} << 20;

// What expanding one reference costs at least, whatever it adds: the bound admits 524,288
// expansions at most.
inline constexpr std::size_t kReferenceCost = 32;

// The longest chain of entities a reference may open, the entity referenced counted.
inline constexpr std::size_t kMaxEntityNesting = 16;

// What a refused document names as its cause (event log, the caller's message).
inline constexpr char kExpansionRefused[] = "its entities expand past the bound of 16 MB";
inline constexpr char kNestingRefused[] = "its entities nest deeper than 16";

// The refusal that a load's failure ends with, for its entities (kExpansionRefused or
// kNestingRefused) or its attributes (attribute_work.h), which a caller is told; empty for a
// failure of another cause.
std::string_view EntityRefusalIn(std::string_view failure);

// One document's expansion, counted against kMaxExpansionBytes.
class ExpansionBudget {
 public:
  // The replacement text (UTF-8) of the internal general entity `name` as the document declares
  // it, its references left as written; nothing when the document declares no such entity (an
  // external or undeclared one, which expands to nothing here).
  using Declared = std::function<std::optional<std::string_view>(std::string_view name)>;

  explicit ExpansionBudget(Declared declared) : declared_(std::move(declared)) {}

  // Counts a reference to `name` in the document's own text (not in another entity's). Answers
  // why the document is refused (kExpansionRefused once its references together pass the bound,
  // kNestingRefused for a chain too deep), empty while it is not.
  std::string_view Spend(std::string_view name);

  // Counts `bytes` more; false once the total passes the bound.
  bool SpendBytes(std::size_t bytes);

  // What a reference to `name` costs: the bytes it expands to and kReferenceCost for itself and
  // for each reference it opens, past kMaxExpansionBytes (at kMaxExpansionBytes + 1) for an
  // entity that refers to itself, which no parser expands; and the entities in the longest chain
  // it opens, itself counted.
  struct Expansion {
    std::size_t bytes;
    std::size_t nesting;
  };
  Expansion Of(std::string_view name);

 private:
  // Adds, at most up to just past the bound, so that no count overflows.
  static std::size_t Add(std::size_t a, std::size_t b);

  Declared declared_;
  // What a reference to each entity counted costs; nothing while it is being counted.
  std::unordered_map<std::string, std::optional<Expansion>> known_;
  std::size_t spent_ = 0;
};

}  // namespace korvalis::xml
