#include "platform/xml/entity_bound.h"

#include <algorithm>
#include <vector>

#include "platform/xml/attribute_work.h"

namespace korvalis::xml {
namespace {

constexpr std::size_t kPastBound = kMaxExpansionBytes + 1;

// An entity being counted: its text, how far it is read, what its reference costs so far and the
// longest chain met in it.
struct Counting {
  std::string name;
  std::string_view text;
  std::size_t read = 0;
  std::size_t bytes = kReferenceCost;
  std::size_t nesting = 0;
};

}  // namespace

std::string_view EntityRefusalIn(std::string_view failure) {
  for (std::string_view refusal : {kExpansionRefused, kNestingRefused, kAttributesRefused}) {
    if (failure.ends_with(refusal)) return refusal;
  }
  return {};
}

std::size_t ExpansionBudget::Add(std::size_t a, std::size_t b) {
  return a >= kPastBound || b >= kPastBound - a ? kPastBound : a + b;
}

bool ExpansionBudget::SpendBytes(std::size_t bytes) {
  spent_ = Add(spent_, bytes);
  return spent_ <= kMaxExpansionBytes;
}

std::string_view ExpansionBudget::Spend(std::string_view name) {
  const Expansion expansion = Of(name);
  if (expansion.nesting > kMaxEntityNesting) return kNestingRefused;
  return SpendBytes(expansion.bytes) ? std::string_view() : kExpansionRefused;
}

// Reads the replacement texts depth first without recursion, so that no chain of entities can
// exhaust the stack; each entity is counted once and remembered.
ExpansionBudget::Expansion ExpansionBudget::Of(std::string_view name) {
  std::vector<Counting> stack;
  // What an entity is known to expand to; nothing when it is to be counted now, on the stack.
  auto begin = [&](std::string_view entity) -> std::optional<Expansion> {
    auto [slot, fresh] = known_.try_emplace(std::string(entity));
    if (!fresh) return slot->second.value_or(Expansion{kPastBound, 1});
    const std::optional<std::string_view> text = declared_(entity);
    if (!text) return *(slot->second = Expansion{kReferenceCost, 0});
    stack.push_back({std::string(entity), *text});
    return std::nullopt;
  };
  auto add_to_top = [&](const Expansion& nested) {
    Counting& top = stack.back();
    top.bytes = Add(top.bytes, nested.bytes);
    top.nesting = std::max(top.nesting, nested.nesting);
  };
  if (auto known = begin(name)) return *known;
  Expansion result{};
  while (!stack.empty()) {
    Counting& top = stack.back();
    const std::size_t ampersand = top.text.find('&', top.read);
    const std::size_t semicolon =
        ampersand == std::string_view::npos ? ampersand : top.text.find(';', ampersand);
    if (semicolon != std::string_view::npos && top.text[ampersand + 1] != '#') {
      top.bytes = Add(top.bytes, ampersand - top.read);
      top.read = semicolon + 1;
      const std::string_view nested = top.text.substr(ampersand + 1, semicolon - ampersand - 1);
      if (auto known = begin(nested)) add_to_top(*known);
      continue;
    }
    // A character reference is counted as written, as is a text the parser refused anyway.
    const std::size_t end = semicolon == std::string_view::npos ? top.text.size() : semicolon + 1;
    top.bytes = Add(top.bytes, end - top.read);
    top.read = end;
    if (end < top.text.size()) continue;
    result = Expansion{top.bytes, top.nesting + 1};
    known_[top.name] = result;
    stack.pop_back();
    if (!stack.empty()) add_to_top(result);
  }
  return result;
}

}  // namespace korvalis::xml
