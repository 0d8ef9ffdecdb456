#include "platform/xml/entity_expansion.h"

#include <libxml/entities.h>
#include <libxml/tree.h>

#include <string>
#include <vector>

namespace korvalis::xml {
namespace {

// What each node an expansion makes is counted for, beside its text; and each reference it
// expands, so that references to empty entities are bounded too.
constexpr std::size_t kNodeBytes = sizeof(xmlNode);
constexpr std::size_t kReferenceBytes = 8;
// Entities nested deeper than the parser itself admits are refused.
constexpr std::size_t kMaxNesting = 40;

std::size_t ContentBytes(const xmlNode* node) {
  return node->content == nullptr ? 0 : xmlStrlen(node->content);
}

// The bytes counted for `copy` and every node below it.
std::size_t SubtreeBytes(const xmlNode* copy) {
  std::size_t bytes = 0;
  const xmlNode* node = copy;
  while (node != nullptr) {
    bytes += kNodeBytes + ContentBytes(node);
    if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
      node = node->children;
      continue;
    }
    while (node != copy && node->next == nullptr) node = node->parent;
    node = node == copy ? nullptr : node->next;
  }
  return bytes;
}

// The entity `reference` stands for, when the document declares it with its own text.
xmlEntityPtr InternalEntity(xmlDocPtr doc, const xmlNode* reference) {
  if (reference->type != XML_ENTITY_REF_NODE) return nullptr;
  xmlEntityPtr entity = xmlGetDocEntity(doc, reference->name);
  return entity != nullptr && entity->etype == XML_INTERNAL_GENERAL_ENTITY ? entity : nullptr;
}

// One document's expansion, element by element: the references among an element's children and
// in its attributes' values are replaced by copies of their entities' nodes, and the texts that
// meet are joined, each run of them written once. Elements of the tree and copied ones wait in
// `pending_` for their own turn.
class Expansion {
 public:
  explicit Expansion(xmlDocPtr doc) : doc_(doc) {}

  bool Run() {
    pending_.push_back(xmlDocGetRootElement(doc_));
    while (!pending_.empty()) {
      xmlNodePtr element = pending_.back();
      pending_.pop_back();
      if (!ExpandElement(element)) return false;
    }
    return true;
  }

 private:
  // An attribute's value is a list of children too, where the parser left references.
  bool ExpandElement(xmlNodePtr element) {
    for (xmlAttrPtr attribute = element->properties; attribute != nullptr;
         attribute = attribute->next) {
      if (!ExpandChildren(reinterpret_cast<xmlNodePtr>(attribute))) return false;
    }
    return ExpandChildren(element);
  }

  bool ExpandChildren(xmlNodePtr parent) {
    for (xmlNodePtr child = parent->children; child != nullptr;) {
      xmlNodePtr next = child->next;
      if (child->type == XML_TEXT_NODE) {
        if (run_ == nullptr) {
          run_ = child;
        } else {
          AppendToRun(reinterpret_cast<const char*>(child->content));
          xmlUnlinkNode(child);
          xmlFreeNode(child);
        }
      } else if (xmlEntityPtr entity = InternalEntity(doc_, child)) {
        if (!Insert(entity, child)) return false;
        xmlUnlinkNode(child);
        xmlFreeNode(child);
      } else {
        EndRun();
        if (child->type == XML_ELEMENT_NODE) pending_.push_back(child);
      }
      child = next;
    }
    EndRun();
    return true;
  }

  // Puts the nodes of `entity` before `reference`, its nested references expanded in turn.
  bool Insert(xmlEntityPtr entity, xmlNodePtr reference) {
    if (!Spend(kReferenceBytes)) return false;
    std::vector<xmlNodePtr> parts{entity->children};
    while (!parts.empty()) {
      xmlNodePtr part = parts.back();
      if (part == nullptr) {
        parts.pop_back();
        continue;
      }
      parts.back() = part->next;
      if (part->type == XML_TEXT_NODE) {
        if (!AddText(part, reference)) return false;
        continue;
      }
      if (xmlEntityPtr nested = InternalEntity(doc_, part)) {
        if (parts.size() >= kMaxNesting || !Spend(kReferenceBytes)) return false;
        parts.push_back(nested->children);
        continue;
      }
      EndRun();
      xmlNodePtr copy = xmlDocCopyNode(part, doc_, 1);
      if (copy == nullptr || !Spend(SubtreeBytes(copy))) {
        xmlFreeNode(copy);
        return false;
      }
      xmlAddPrevSibling(reference, copy);
      if (copy->type == XML_ELEMENT_NODE) pending_.push_back(copy);
    }
    return true;
  }

  // Adds the text of the entity's `text` node to the run of texts before `reference`.
  bool AddText(const xmlNode* text, xmlNodePtr reference) {
    if (!Spend(ContentBytes(text))) return false;
    if (run_ == nullptr) {
      if (!Spend(kNodeBytes)) return false;
      xmlNodePtr started = xmlNewDocText(doc_, BAD_CAST "");
      if (started == nullptr) return false;
      // A text just before the reference would take the new one in: it is the run then.
      run_ = xmlAddPrevSibling(reference, started);
    }
    AppendToRun(reinterpret_cast<const char*>(text->content));
    return true;
  }

  void AppendToRun(const char* text) {
    if (!grown_) {
      run_text_.assign(run_->content == nullptr ? ""
                                                : reinterpret_cast<const char*>(run_->content));
      grown_ = true;
    }
    if (text != nullptr) run_text_.append(text);
  }

  // Writes the run's text, once, into its first node.
  void EndRun() {
    if (run_ != nullptr && grown_) xmlNodeSetContent(run_, BAD_CAST run_text_.c_str());
    run_ = nullptr;
    grown_ = false;
    run_text_.clear();
  }

  bool Spend(std::size_t bytes) {
    spent_ += bytes;
    return spent_ <= kMaxExpansionBytes;
  }

  xmlDocPtr doc_;
  std::vector<xmlNodePtr> pending_;
  xmlNodePtr run_ = nullptr;  // the first text node of the run of texts being joined
  bool grown_ = false;        // whether the run has more text than its first node holds
  std::string run_text_;      // the run's text, once it has grown
  std::size_t spent_ = 0;
};

}  // namespace

bool ExpandInternalEntities(xmlDocPtr doc) {
  // Without a declared entity there is nothing to expand, and the tree is not walked.
  if (doc->intSubset == nullptr || doc->intSubset->entities == nullptr) return true;
  return Expansion(doc).Run();
}

}  // namespace korvalis::xml
