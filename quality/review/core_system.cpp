// RefreshRecord: a batch of statements that a client sends as the element children of a
// document, each element's text one statement (entities decoded, CDATA taken as it is, line
// breaks kept), run in document order. Text and comments between the elements are not
// statements. The batch is one unit with the call: a statement that fails leaves nothing of the
// batch done, and a statement that would end the call's transaction (COMMIT, ROLLBACK) is
// refused by the database layer.
#include "quality/review/core_system.h"

#include <string>
#include <xercesc/dom/DOM.hpp>

#include "foundation/xml/dom_elements.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/xml/xml_parser.h"

long CBCoreSystem::RefreshRecord(CEMRDataSource* pDataSource, BSTR bstrRecordList) {
  CXmlStringParser parser(bstrRecordList);
  const xercesc::DOMDocument* document = parser.GetDocument();
  const xercesc::DOMElement* root = document == nullptr ? nullptr : document->getDocumentElement();
  if (root == nullptr) throw CEMRException(std::u16string(u"无效XML!"));
  for (const xercesc::DOMElement* statement : ElementChildren(root)) {
    pDataSource->Execute(TextContent(statement));
  }
  return 0;
}
