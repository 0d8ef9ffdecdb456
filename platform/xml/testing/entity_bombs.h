// Documents whose entities ask more work than the bound of entity_bound.h admits, one for each
// place a reference is expanded: content, an attribute's value, an attribute's default. Each
// opens 10^9 copies of its first entity, three letters or nothing, through ten entities of ten
// references each; the last one writes 600,000 references to an empty entity in an attribute.
#pragma once

#include <string>
#include <vector>

namespace korvalis::xml::testing {

struct EntityBomb {
  std::string shape;  // where it expands, for a failing test's message
  std::string text;
};

// The bombs of a document element named `root`, `content` its content beside the bomb's.
inline std::vector<EntityBomb> EntityBombs(const std::string& root, const std::string& content) {
  std::vector<EntityBomb> bombs;
  for (const std::string first : {"lol", ""}) {
    std::string entities = "<!ENTITY a0 \"" + first + "\">";
    for (int level = 1; level <= 9; ++level) {
      entities += "<!ENTITY a" + std::to_string(level) + " \"";
      for (int i = 0; i < 10; ++i) entities += "&a" + std::to_string(level - 1) + ";";
      entities += "\">";
    }
    const std::string type = "<!DOCTYPE " + root + " [" + entities;
    const std::string of = " of \"" + first + "\"";
    bombs.push_back({"content" + of, type + "]><" + root + ">&a9;" + content + "</" + root + ">"});
    bombs.push_back(
        {"attribute" + of, type + "]><" + root + " a=\"&a9;\">" + content + "</" + root + ">"});
    bombs.push_back({"default" + of, type + "<!ATTLIST " + root + " a CDATA \"&a9;\">]><" + root +
                                         ">" + content + "</" + root + ">"});
  }
  std::string empties;
  for (int i = 0; i < 600'000; ++i) empties += "&e;";
  bombs.push_back({"600,000 empty references", "<!DOCTYPE " + root + " [<!ENTITY e \"\">]><" +
                                                   root + " a=\"" + empties + "\">" + content +
                                                   "</" + root + ">"});
  return bombs;
}

// The declarations of a chain of `depth` entities, c1 referring to c2 and so on, the last "x".
inline std::string EntityChain(int depth) {
  std::string entities = "<!ENTITY c" + std::to_string(depth) + " \"x\">";
  for (int level = 1; level < depth; ++level) {
    entities += "<!ENTITY c" + std::to_string(level) + " \"&c" + std::to_string(level + 1) + ";\">";
  }
  return entities;
}

}  // namespace korvalis::xml::testing
