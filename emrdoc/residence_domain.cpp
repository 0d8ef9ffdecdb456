#include "emrdoc/residence_domain.h"

#include <initializer_list>
#include <string_view>
#include <xercesc/dom/DOMElement.hpp>

#include "emrdoc/his_answer.h"
#include "emrdoc/residence_document.h"
#include "foundation/xml/dom_elements.h"
#include "platform/com/scoped_bstr.h"

using xercesc::DOMElement;

namespace {

void DropSuffix(std::u16string& text, std::u16string_view suffix) {
  if (text.ends_with(suffix)) text.resize(text.size() - suffix.size());
}

}  // namespace

std::u16string ShortenResidenceTime(std::u16string time) {
  DropSuffix(time, u":00");
  DropSuffix(time, u":00");
  DropSuffix(time, u" 00");
  return time;
}

void CBResidenceDomain::Load(CSingleDataSource* pDataSource) {
  korvalis::com::ScopedBstr document;
  // Any result but 0 (1: the visit has no row) writes no document.
  if (BuildResidenceXml(pDataSource, patient_id(), event_no(), document.out()) != 0) return;

  const CHISAnswer residence(document.get());
  const DOMElement* in = residence.FindFirst(u"in");
  const DOMElement* now = residence.FindFirst(u"now");
  const DOMElement* out = residence.FindFirst(u"out");
  if (in == nullptr || now == nullptr || out == nullptr) return;

  // Stores each element child of `parent` under `prefix` + its name, and the `id` of each
  // child named in `with_id` under `prefix` + name + ".id"; returns the text of the last
  // `time` child, which is shortened once all keys are stored.
  auto store_children = [this](const DOMElement* parent, const std::u16string& prefix,
                               std::initializer_list<std::u16string_view> with_id) {
    std::u16string time;
    for (const DOMElement* child : ElementChildren(parent)) {
      const std::u16string name = ElementName(child);
      Store(prefix + name, TextContent(child));
      if (name == u"time") time = TextContent(child);
      for (std::u16string_view id_child : with_id) {
        if (name == id_child) Store(prefix + name + u".id", ElementAttribute(child, u"id"));
      }
    }
    return time;
  };
  std::u16string in_time = store_children(in, u"residence.in.", {u"dept"});
  // The document's `in` is its own, with one `dept`.
  if (const DOMElement* dept = FirstChildElement(in, u"dept")) {
    Store(u"residence.in.dept.time", ElementAttribute(dept, u"time"));
    Store(u"residence.dayByDeptIn", TextContent(residence.FindFirst(u"dayByDeptIn")));
  }
  store_children(now, u"residence.now.", {u"dept", u"warddept"});
  std::u16string out_time = store_children(out, u"residence.out.", {u"dept"});

  const DOMElement* insurance = residence.FindFirst(u"insurance");
  Store(u"residence.event", TextContent(residence.FindFirst(u"event")));
  Store(u"residence.serial", TextContent(residence.FindFirst(u"serial")));
  Store(u"residence.insurance.no", TextContent(insurance));
  Store(u"residence.insurance.type", ElementAttribute(insurance, u"type"));
  Store(u"residence.day", TextContent(residence.FindFirst(u"day")));
  Store(u"residence.archive", TextContent(residence.FindFirst(u"archive")));

  if (!in_time.empty()) Store(u"residence.in.time", ShortenResidenceTime(std::move(in_time)));
  if (!out_time.empty()) Store(u"residence.out.time", ShortenResidenceTime(std::move(out_time)));
}
