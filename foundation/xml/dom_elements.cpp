#include "foundation/xml/dom_elements.h"

#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>

using xercesc::DOMElement;
using xercesc::DOMNode;

namespace {

std::u16string TextOrEmpty(const XMLCh* text) {
  return text == nullptr ? std::u16string() : std::u16string(text);
}

}  // namespace

std::vector<const DOMElement*> ElementChildren(const DOMNode* parent) {
  std::vector<const DOMElement*> children;
  if (parent == nullptr) return children;
  for (const DOMNode* node = parent->getFirstChild(); node != nullptr;
       node = node->getNextSibling()) {
    if (node->getNodeType() == DOMNode::ELEMENT_NODE) {
      children.push_back(static_cast<const DOMElement*>(node));
    }
  }
  return children;
}

const DOMElement* FirstChildElement(const DOMNode* parent, std::u16string_view name) {
  if (parent == nullptr) return nullptr;
  for (const DOMNode* node = parent->getFirstChild(); node != nullptr;
       node = node->getNextSibling()) {
    if (node->getNodeType() == DOMNode::ELEMENT_NODE &&
        std::u16string_view(node->getNodeName()) == name) {
      return static_cast<const DOMElement*>(node);
    }
  }
  return nullptr;
}

std::vector<const DOMElement*> DescendantElementsNamed(const DOMNode* scope,
                                                      std::u16string_view name) {
  std::vector<const DOMElement*> found;
  if (scope == nullptr) return found;
  // Preorder walk without recursion: down to the first child, else across to the next
  // sibling, else up until an ancestor below the scope has one.
  const DOMNode* node = scope->getFirstChild();
  while (node != nullptr) {
    if (node->getNodeType() == DOMNode::ELEMENT_NODE &&
        std::u16string_view(node->getNodeName()) == name) {
      found.push_back(static_cast<const DOMElement*>(node));
    }
    if (const DOMNode* child = node->getFirstChild(); child != nullptr) {
      node = child;
      continue;
    }
    while (node != scope && node->getNextSibling() == nullptr) node = node->getParentNode();
    node = node == scope ? nullptr : node->getNextSibling();
  }
  return found;
}

std::u16string ElementName(const DOMElement* element) {
  return element == nullptr ? std::u16string() : TextOrEmpty(element->getTagName());
}

std::u16string ElementAttribute(const DOMElement* element, const char16_t* name) {
  return element == nullptr ? std::u16string() : TextOrEmpty(element->getAttribute(name));
}

std::u16string TextContent(const DOMNode* node) {
  return node == nullptr ? std::u16string() : TextOrEmpty(node->getTextContent());
}
