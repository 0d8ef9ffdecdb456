// Documents whose start tags take more attributes than the bound of attribute_work.h admits, one
// for each way a tag takes them: written, defaulted by an ATTLIST declaration, written in an
// entity's value; and the valid neighbour, one tag of as many as the bound admits.
#pragma once

#include <string>
#include <vector>

namespace korvalis::xml::testing {

// ` a0='1' a1='1' ...` as a start tag writes `count` attributes.
inline std::string WrittenAttributes(int count) {
  std::string written;
  for (int i = 0; i < count; ++i) written += " a" + std::to_string(i) + "='1'";
  return written;
}

// ` d0 CDATA 'v' ...` as an ATTLIST declaration defaults `count` attributes.
inline std::string DefaultedAttributes(int count) {
  std::string declared;
  for (int i = 0; i < count; ++i) declared += " d" + std::to_string(i) + " CDATA 'v'";
  return declared;
}

struct AttributeFlood {
  std::string shape;  // how the tag takes its attributes, for a failing test's message
  std::string text;
};

// The floods of an element `x` in a document element `root`, `content` beside it.
inline std::vector<AttributeFlood> AttributeFloods(const std::string& root,
                                                   const std::string& content) {
  const std::string open = "<" + root + ">" + content;
  const std::string close = "</" + root + ">";
  return {
      {"written", open + "<x" + WrittenAttributes(16'385) + "/>" + close},
      {"defaulted", "<!DOCTYPE " + root + " [<!ATTLIST x" + DefaultedAttributes(16'385) + ">]>" +
                        open + "<x/>" + close},
      {"in an entity", "<!DOCTYPE " + root + " [<!ENTITY e \"<x" + WrittenAttributes(16'385) +
                           "/>\">]>" + open + "&e;" + close},
  };
}

// The most attributes one tag may take: `root` holding `content` and such an `x`.
inline std::string MostAttributes(const std::string& root, const std::string& content) {
  return "<" + root + ">" + content + "<x" + WrittenAttributes(16'384) + "/></" + root + ">";
}

}  // namespace korvalis::xml::testing
