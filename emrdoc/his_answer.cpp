#include "emrdoc/his_answer.h"

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>

using xercesc::DOMElement;
using xercesc::DOMNode;

CHISAnswer::CHISAnswer(std::u16string text) : text_(std::move(text)), parser_(text_) {
  document_ = parser_.GetDocument();
  if (document_ != nullptr) root_ = document_->getDocumentElement();
}

CHISAnswer::CHISAnswer(BSTR text) : CHISAnswer(std::u16string(korvalis::BstrView(text))) {}

template <class Visit>
void CHISAnswer::ForEachNamed(std::u16string_view name, Visit visit) const {
  // Document order without recursion: down to the first child, else on to the next sibling
  // of the nearest node that has one.
  const DOMNode* node = root_;
  while (node != nullptr) {
    if (node->getNodeType() == DOMNode::ELEMENT_NODE &&
        std::u16string_view(node->getNodeName()) == name &&
        !visit(static_cast<const DOMElement*>(node))) {
      return;
    }
    if (node->getFirstChild() != nullptr) {
      node = node->getFirstChild();
      continue;
    }
    while (node != nullptr && node != root_ && node->getNextSibling() == nullptr) {
      node = node->getParentNode();
    }
    node = (node == nullptr || node == root_) ? nullptr : node->getNextSibling();
  }
}

const DOMElement* CHISAnswer::FindFirst(std::u16string_view name) const {
  const DOMElement* first = nullptr;
  ForEachNamed(name, [&first](const DOMElement* element) {
    first = element;
    return false;
  });
  return first;
}

std::size_t CHISAnswer::Count(std::u16string_view name) const {
  std::size_t count = 0;
  ForEachNamed(name, [&count](const DOMElement*) {
    ++count;
    return true;
  });
  return count;
}

std::vector<const DOMElement*> CHISAnswer::FindAll(std::u16string_view name) const {
  std::vector<const DOMElement*> found;
  ForEachNamed(name, [&found](const DOMElement* element) {
    found.push_back(element);
    return true;
  });
  return found;
}
