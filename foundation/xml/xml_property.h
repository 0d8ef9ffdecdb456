// CXmlProperty, the property bag: a flat set of named texts read from, or written as, a
// document whose root element holds one child element per property (name to text). The
// property "extend" carries an XML fragment instead of a text: it is read as the markup of
// its element children and written back as markup.
//
// States (the first read parses, SetMap replaces):
//
//   built from text --GetValue/GetMap--> parsed (map filled, text kept)
//        |   ^ (text yields no property: stays here, reparsed on every read)
//        +---+
//   built from a non-empty map: parsed, no text
//   any state --SetMap--> text dropped (map replaced, ToXml serialises the map)
//
// Names are case-sensitive and ordered by UTF-16 code units; the first of repeated names wins.
//
// Thread-safety: one bag belongs to one thread; reads are const but fill the map lazily.
#pragma once

#include <map>
#include <string>

class CXmlProperty {
 public:
  using Map = std::map<std::u16string, std::u16string>;

  // Keeps the text; nothing is parsed before the first read. Never fails.
  explicit CXmlProperty(const std::u16string& xml);
  explicit CXmlProperty(const Map& properties);
  // Holds the other bag's ToXml(), parsed again on the first read.
  CXmlProperty(const CXmlProperty& other);
  CXmlProperty& operator=(const CXmlProperty& other);
  virtual ~CXmlProperty();

  // The value stored under the exact name, or the empty text.
  // Throws CEMRException "解析属性信息错误." when the text is not well formed.
  std::u16string GetValue(const std::u16string& name) const;
  // A copy of all properties. Throws as GetValue.
  Map GetMap() const;
  // Replaces every property and drops the text.
  void SetMap(const Map& properties);
  // The text the bag was built from, unchanged; else the map serialised: an XML
  // declaration, then `root` with one element per property in name order. Every property
  // reads back unchanged from it, "extend" included when it holds markup.
  // Throws xercesc::DOMException when a name is not a valid element name, and CEMRException
  // "属性信息含有XML不允许的字符." when a value holds a character XML cannot carry.
  std::u16string ToXml() const;

 private:
  void Parse() const;

  std::u16string xml_;
  mutable Map properties_;
  std::u16string tag_;
};
