#include "emrdoc/residence_domain.h"

#include <xercesc/dom/DOMElement.hpp>

#include "emrdoc/his_answer.h"
#include "emrdoc/residence_document.h"
#include "foundation/dom_elements.h"
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

  // The last `time` child of `in` and of `out`, shortened once all keys are stored.
  std::u16string in_time;
  std::u16string out_time;
  for (const DOMElement* child : ElementChildren(in)) {
    const std::u16string name = ElementName(child);
    Store(u"residence.in." + name, TextContent(child));
    if (name == u"time") {
      in_time = TextContent(child);
    } else if (name == u"dept") {
      Store(u"residence.in.dept.id", ElementAttribute(child, u"id"));
      Store(u"residence.in.dept.time", ElementAttribute(child, u"time"));
      Store(u"residence.dayByDeptIn", TextContent(residence.FindFirst(u"dayByDeptIn")));
    }
  }
  for (const DOMElement* child : ElementChildren(now)) {
    const std::u16string name = ElementName(child);
    Store(u"residence.now." + name, TextContent(child));
    if (name == u"dept" || name == u"warddept") {
      Store(u"residence.now." + name + u".id", ElementAttribute(child, u"id"));
    }
  }
  for (const DOMElement* child : ElementChildren(out)) {
    const std::u16string name = ElementName(child);
    Store(u"residence.out." + name, TextContent(child));
    if (name == u"time") {
      out_time = TextContent(child);
    } else if (name == u"dept") {
      Store(u"residence.out.dept.id", ElementAttribute(child, u"id"));
    }
  }

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
