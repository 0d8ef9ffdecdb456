#include "platform/xml/entity_expansion.h"

#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/xml/entity_bound.h"

namespace korvalis::xml {
namespace {

constexpr std::string_view kEntityNotParsed = "an entity's text does not parse";

// The entity `reference` stands for, when the document declares it with its own text.
xmlEntityPtr InternalEntity(xmlDocPtr doc, const xmlNode* reference) {
  if (reference->type != XML_ENTITY_REF_NODE) return nullptr;
  xmlEntityPtr entity = xmlGetDocEntity(doc, reference->name);
  return entity != nullptr && entity->etype == XML_INTERNAL_GENERAL_ENTITY ? entity : nullptr;
}

// The nodes of the entity's text. The parser makes them at the entity's first reference in
// content; one first met elsewhere (in an attribute's default) has none yet, and they are made
// here as the parser would have made them. False when its text does not parse.
bool ReadEntityNodes(xmlDocPtr doc, xmlEntityPtr entity) {
  if (entity->children != nullptr || entity->content == nullptr || entity->content[0] == 0) {
    return true;
  }
  xmlNodePtr nodes = nullptr;
  if (xmlParseBalancedChunkMemory(doc, nullptr, nullptr, 0, entity->content, &nodes) != 0) {
    xmlFreeNodeList(nodes);
    return false;
  }
  // The entity owns its nodes from now on, and frees them with the document.
  entity->owner = 1;
  entity->children = nodes;
  for (xmlNodePtr node = nodes; node != nullptr; node = node->next) {
    node->parent = reinterpret_cast<xmlNodePtr>(entity);
    entity->last = node;
  }
  return true;
}

// An attribute's value holds blanks where its entities' texts hold a line feed, a carriage
// return or a tab.
void NormaliseBlanks(std::string& text, std::size_t from) {
  for (std::size_t i = from; i < text.size(); ++i) {
    if (text[i] == '\n' || text[i] == '\r' || text[i] == '\t') text[i] = ' ';
  }
}

// One document's expansion, element by element: the references among an element's children and
// in its attributes' values are replaced by copies of their entities' nodes, and the texts that
// meet are joined, each run of them written once. Elements of the tree and copied ones wait in
// `pending_` for their own turn. Each reference in the tree is counted against the bound before
// it is expanded; the references inside entities are part of what it costs.
class Expansion {
 public:
  explicit Expansion(xmlDocPtr doc)
      : doc_(doc), budget_([doc](std::string_view name) -> std::optional<std::string_view> {
          const std::string entity_name(name);
          xmlEntityPtr entity = xmlGetDocEntity(doc, BAD_CAST entity_name.c_str());
          if (entity == nullptr || entity->etype != XML_INTERNAL_GENERAL_ENTITY) {
            return std::nullopt;
          }
          return entity->content == nullptr
                     ? std::string_view()
                     : std::string_view(reinterpret_cast<const char*>(entity->content));
        }) {}

  std::string_view Run() {
    pending_.push_back(xmlDocGetRootElement(doc_));
    while (!pending_.empty()) {
      xmlNodePtr element = pending_.back();
      pending_.pop_back();
      if (std::string_view failure = ExpandElement(element); !failure.empty()) return failure;
    }
    return {};
  }

 private:
  // An attribute's value is a list of children too, where the parser left references.
  std::string_view ExpandElement(xmlNodePtr element) {
    for (xmlAttrPtr attribute = element->properties; attribute != nullptr;
         attribute = attribute->next) {
      std::string_view failure = ExpandChildren(reinterpret_cast<xmlNodePtr>(attribute), true);
      if (!failure.empty()) return failure;
    }
    return ExpandChildren(element, false);
  }

  std::string_view ExpandChildren(xmlNodePtr parent, bool in_attribute) {
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
        const std::string_view refused = budget_.Spend(reinterpret_cast<const char*>(entity->name));
        if (!refused.empty()) return refused;
        if (!Insert(entity, child, in_attribute)) return kEntityNotParsed;
        xmlUnlinkNode(child);
        xmlFreeNode(child);
      } else {
        EndRun();
        if (child->type == XML_ELEMENT_NODE) pending_.push_back(child);
      }
      child = next;
    }
    EndRun();
    return {};
  }

  // Puts the nodes of `entity` before `reference`, its nested references expanded in turn.
  // The bound counted them all with the reference: the walk is no longer than what it counted.
  bool Insert(xmlEntityPtr entity, xmlNodePtr reference, bool in_attribute) {
    if (!ReadEntityNodes(doc_, entity)) return false;
    std::vector<xmlNodePtr> parts{entity->children};
    while (!parts.empty()) {
      xmlNodePtr part = parts.back();
      if (part == nullptr) {
        parts.pop_back();
        continue;
      }
      parts.back() = part->next;
      if (part->type == XML_TEXT_NODE) {
        if (!AddText(part, reference, in_attribute)) return false;
        continue;
      }
      if (xmlEntityPtr nested = InternalEntity(doc_, part)) {
        if (!ReadEntityNodes(doc_, nested)) return false;
        parts.push_back(nested->children);
        continue;
      }
      EndRun();
      xmlNodePtr copy = xmlDocCopyNode(part, doc_, 1);
      if (copy == nullptr) return false;
      xmlAddPrevSibling(reference, copy);
      if (copy->type == XML_ELEMENT_NODE) pending_.push_back(copy);
    }
    return true;
  }

  // Adds the text of the entity's `text` node to the run of texts before `reference`.
  bool AddText(const xmlNode* text, xmlNodePtr reference, bool in_attribute) {
    if (run_ == nullptr) {
      xmlNodePtr started = xmlNewDocText(doc_, BAD_CAST "");
      if (started == nullptr) return false;
      // A text just before the reference would take the new one in: it is the run then.
      run_ = xmlAddPrevSibling(reference, started);
    }
    const std::size_t from = AppendToRun(reinterpret_cast<const char*>(text->content));
    if (in_attribute) NormaliseBlanks(run_text_, from);
    return true;
  }

  // Answers where the appended text starts in the run's text.
  std::size_t AppendToRun(const char* text) {
    if (!grown_) {
      run_text_.assign(run_->content == nullptr ? ""
                                                : reinterpret_cast<const char*>(run_->content));
      grown_ = true;
    }
    const std::size_t from = run_text_.size();
    if (text != nullptr) run_text_.append(text);
    return from;
  }

  // Writes the run's text, once, into its first node.
  void EndRun() {
    if (run_ != nullptr && grown_) xmlNodeSetContent(run_, BAD_CAST run_text_.c_str());
    run_ = nullptr;
    grown_ = false;
    run_text_.clear();
  }

  xmlDocPtr doc_;
  ExpansionBudget budget_;
  std::vector<xmlNodePtr> pending_;
  xmlNodePtr run_ = nullptr;  // the first text node of the run of texts being joined
  bool grown_ = false;        // whether the run has more text than its first node holds
  std::string run_text_;      // the run's text, once it has grown
};

}  // namespace

std::string_view ExpandInternalEntities(xmlDocPtr doc) {
  // Without a declared entity there is nothing to expand, and the tree is not walked.
  if (doc->intSubset == nullptr || doc->intSubset->entities == nullptr) return {};
  return Expansion(doc).Run();
}

}  // namespace korvalis::xml
