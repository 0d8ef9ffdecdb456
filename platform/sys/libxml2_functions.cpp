// The functions of libxml2 that the system calls, defined here as forwarders to the library
// opened on first use (on_demand_library.h): the XML DOM, the XPath functions of the SQL front
// end and the command's check of its configuration files use it, while most calls never do, and
// a process that does not is spared loading and relocating it. Programs and libraries are linked
// without libxml2; a libxml2 function that product code calls anywhere needs its forwarder here
// (the link fails with an undefined reference until it has one).
//
// Every function is looked up when the library is first needed; while it cannot be loaded, each
// forwarder throws korvalis::sys::LibraryUnavailable. The XSLT processor, opened on first use
// too, brings the same library: both reach one copy of it.
//
// Thread-safety: as libxml2's own functions; the library is opened once under a lock.

// The forwarders bind inside whatever links them and are exported by no program or library.
#pragma GCC visibility push(hidden)
#include <libxml/encoding.h>
#include <libxml/entities.h>
#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlmemory.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#pragma GCC visibility pop

#include "platform/sys/on_demand_library.h"

namespace {

#define KORVALIS_LIBXML2_FUNCTIONS(X)                                                           \
  X(xmlAddChild) X(xmlAddPrevSibling) X(xmlBufferAdd) X(xmlBufferContent) X(xmlBufferCreate)    \
  X(xmlBufferFree) X(xmlBufferLength) X(xmlCopyDoc) X(xmlCreatePushParserCtxt)                  \
  X(xmlCtxtUseOptions) X(xmlDocCopyNode) X(xmlDocGetRootElement) X(xmlFindCharEncodingHandler)  \
  X(xmlFreeDoc) X(xmlFreeNode) X(xmlFreeNodeList) X(xmlFreeParserCtxt) X(xmlGetDocEntity)       \
  X(xmlGetProp) X(xmlInitParser) X(xmlMemSetup) X(xmlNewDoc) X(xmlParseChunk) X(xmlStopParser)  \
  X(xmlSwitchToEncoding) X(xmlNewDocNode) X(xmlNewDocText) X(xmlNewDocTextLen) X(xmlNewProp)    \
  X(xmlNodeDump) X(xmlNodeGetContent) X(xmlNodeGetSpacePreserve) X(xmlNodeListGetString)        \
  X(xmlNodeSetContent) X(xmlOutputBufferClose) X(xmlOutputBufferCreateIO)                       \
  X(xmlOutputBufferFlush) X(xmlReadFile) X(xmlReadMemory) X(xmlReconciliateNs)                  \
  X(xmlSetGenericErrorFunc) X(xmlSetStructuredErrorFunc) X(xmlStrcmp) X(xmlStrdup) X(xmlStrlen) \
  X(xmlUnlinkNode) X(xmlValidateName) X(xmlXPathCastToString) X(xmlXPathEvalExpression)         \
  X(xmlXPathFreeContext) X(xmlXPathFreeObject) X(xmlXPathNewContext) X(xmlXPathNewNodeSet)      \
  X(xmlXPathNodeEval) X(xmlXPathPopString) X(xmlXPatherror) X(valuePush) X(__xmlGenericError)   \
  X(__xmlGenericErrorContext) X(xmlXPathFunctionLookup) X(xmlXPathRegisterFuncLookup)            \
  X(xmlXPathNewFloat) X(xmlXPathNewString) X(xmlXPathNodeSetSort) X(xmlXPathStringEvalNumber) \
  X(xmlXPathPopBoolean) X(xmlXPathNewBoolean) X(xmlXPathEqualValues) X(xmlXPathNotEqualValues)  \
  X(xmlXPathCompareValues) X(xmlResetLastError) X(xmlGetLastError)                             \
  X(xmlParseBalancedChunkMemory) X(xmlNewParserCtxt) X(xmlCtxtReadMemory)

struct Libxml2Functions {
  KORVALIS_LIBXML2_FUNCTIONS(KORVALIS_ON_DEMAND_MEMBER)
  // The library's release function is a variable that its memory set-up may change: it is
  // read at every call.
  xmlFreeFunc* free_function;
};

Libxml2Functions LoadLibxml2() {
  static korvalis::sys::OnDemandLibrary& library =
      *new korvalis::sys::OnDemandLibrary("libxml2.so.2");
  Libxml2Functions functions;
  KORVALIS_LIBXML2_FUNCTIONS(KORVALIS_ON_DEMAND_FIND)
  functions.free_function = library.Find<xmlFreeFunc*>("xmlFree");
  return functions;
}

const Libxml2Functions& Libxml2() {
  static const Libxml2Functions functions = LoadLibxml2();
  return functions;
}

// Memory of the library is released through the library; nothing to release needs nothing
// loaded.
void FreeThroughLibrary(void* memory) {
  if (memory != nullptr) (*Libxml2().free_function)(memory);
}

}  // namespace

xmlFreeFunc xmlFree = FreeThroughLibrary;

xmlNodePtr xmlAddChild(xmlNodePtr parent, xmlNodePtr cur) {
  return Libxml2().xmlAddChild(parent, cur);
}
xmlNodePtr xmlAddPrevSibling(xmlNodePtr cur, xmlNodePtr elem) {
  return Libxml2().xmlAddPrevSibling(cur, elem);
}
int xmlBufferAdd(xmlBufferPtr buf, const xmlChar* str, int len) {
  return Libxml2().xmlBufferAdd(buf, str, len);
}
const xmlChar* xmlBufferContent(const xmlBuffer* buf) { return Libxml2().xmlBufferContent(buf); }
xmlBufferPtr xmlBufferCreate() { return Libxml2().xmlBufferCreate(); }
int xmlBufferLength(const xmlBuffer* buf) { return Libxml2().xmlBufferLength(buf); }
xmlDocPtr xmlCopyDoc(xmlDocPtr doc, int recursive) { return Libxml2().xmlCopyDoc(doc, recursive); }
xmlParserCtxtPtr xmlCreatePushParserCtxt(xmlSAXHandlerPtr sax, void* user_data, const char* chunk,
                                         int size, const char* filename) {
  return Libxml2().xmlCreatePushParserCtxt(sax, user_data, chunk, size, filename);
}
int xmlCtxtUseOptions(xmlParserCtxtPtr ctxt, int options) {
  return Libxml2().xmlCtxtUseOptions(ctxt, options);
}
xmlCharEncodingHandlerPtr xmlFindCharEncodingHandler(const char* name) {
  return Libxml2().xmlFindCharEncodingHandler(name);
}
xmlNodePtr xmlDocCopyNode(xmlNodePtr node, xmlDocPtr doc, int recursive) {
  return Libxml2().xmlDocCopyNode(node, doc, recursive);
}
xmlNodePtr xmlDocGetRootElement(const xmlDoc* doc) { return Libxml2().xmlDocGetRootElement(doc); }
// The ones that release something do nothing for nothing, without loading the library: they
// may run in a destructor of a process that never parsed a document.
void xmlBufferFree(xmlBufferPtr buf) {
  if (buf != nullptr) Libxml2().xmlBufferFree(buf);
}
void xmlFreeDoc(xmlDocPtr cur) {
  if (cur != nullptr) Libxml2().xmlFreeDoc(cur);
}
void xmlFreeNode(xmlNodePtr cur) {
  if (cur != nullptr) Libxml2().xmlFreeNode(cur);
}
void xmlFreeNodeList(xmlNodePtr cur) {
  if (cur != nullptr) Libxml2().xmlFreeNodeList(cur);
}
void xmlFreeParserCtxt(xmlParserCtxtPtr ctxt) {
  if (ctxt != nullptr) Libxml2().xmlFreeParserCtxt(ctxt);
}
void xmlXPathFreeContext(xmlXPathContextPtr ctxt) {
  if (ctxt != nullptr) Libxml2().xmlXPathFreeContext(ctxt);
}
void xmlXPathFreeObject(xmlXPathObjectPtr obj) {
  if (obj != nullptr) Libxml2().xmlXPathFreeObject(obj);
}
xmlEntityPtr xmlGetDocEntity(const xmlDoc* doc, const xmlChar* name) {
  return Libxml2().xmlGetDocEntity(doc, name);
}
xmlErrorPtr xmlGetLastError() { return Libxml2().xmlGetLastError(); }
void xmlResetLastError() { Libxml2().xmlResetLastError(); }
int xmlParseBalancedChunkMemory(xmlDocPtr doc, xmlSAXHandlerPtr sax, void* user_data, int depth,
                                const xmlChar* string, xmlNodePtr* lst) {
  return Libxml2().xmlParseBalancedChunkMemory(doc, sax, user_data, depth, string, lst);
}
xmlChar* xmlGetProp(const xmlNode* node, const xmlChar* name) {
  return Libxml2().xmlGetProp(node, name);
}
void xmlInitParser() { Libxml2().xmlInitParser(); }
int xmlMemSetup(xmlFreeFunc freeFunc, xmlMallocFunc mallocFunc, xmlReallocFunc reallocFunc,
                xmlStrdupFunc strdupFunc) {
  return Libxml2().xmlMemSetup(freeFunc, mallocFunc, reallocFunc, strdupFunc);
}
xmlDocPtr xmlNewDoc(const xmlChar* version) { return Libxml2().xmlNewDoc(version); }
xmlNodePtr xmlNewDocNode(xmlDocPtr doc, xmlNsPtr ns, const xmlChar* name,
                         const xmlChar* content) {
  return Libxml2().xmlNewDocNode(doc, ns, name, content);
}
xmlNodePtr xmlNewDocText(const xmlDoc* doc, const xmlChar* content) {
  return Libxml2().xmlNewDocText(doc, content);
}
xmlNodePtr xmlNewDocTextLen(xmlDocPtr doc, const xmlChar* content, int len) {
  return Libxml2().xmlNewDocTextLen(doc, content, len);
}
xmlAttrPtr xmlNewProp(xmlNodePtr node, const xmlChar* name, const xmlChar* value) {
  return Libxml2().xmlNewProp(node, name, value);
}
int xmlNodeDump(xmlBufferPtr buf, xmlDocPtr doc, xmlNodePtr cur, int level, int format) {
  return Libxml2().xmlNodeDump(buf, doc, cur, level, format);
}
xmlChar* xmlNodeGetContent(const xmlNode* cur) { return Libxml2().xmlNodeGetContent(cur); }
int xmlNodeGetSpacePreserve(const xmlNode* cur) { return Libxml2().xmlNodeGetSpacePreserve(cur); }
xmlChar* xmlNodeListGetString(xmlDocPtr doc, const xmlNode* list, int inLine) {
  return Libxml2().xmlNodeListGetString(doc, list, inLine);
}
void xmlNodeSetContent(xmlNodePtr cur, const xmlChar* content) {
  Libxml2().xmlNodeSetContent(cur, content);
}
int xmlParseChunk(xmlParserCtxtPtr ctxt, const char* chunk, int size, int terminate) {
  return Libxml2().xmlParseChunk(ctxt, chunk, size, terminate);
}
void xmlStopParser(xmlParserCtxtPtr ctxt) { Libxml2().xmlStopParser(ctxt); }
int xmlSwitchToEncoding(xmlParserCtxtPtr ctxt, xmlCharEncodingHandlerPtr handler) {
  return Libxml2().xmlSwitchToEncoding(ctxt, handler);
}
int xmlOutputBufferClose(xmlOutputBufferPtr out) { return Libxml2().xmlOutputBufferClose(out); }
int xmlOutputBufferFlush(xmlOutputBufferPtr out) { return Libxml2().xmlOutputBufferFlush(out); }
xmlOutputBufferPtr xmlOutputBufferCreateIO(xmlOutputWriteCallback iowrite,
                                           xmlOutputCloseCallback ioclose, void* ioctx,
                                           xmlCharEncodingHandlerPtr encoder) {
  return Libxml2().xmlOutputBufferCreateIO(iowrite, ioclose, ioctx, encoder);
}
xmlDocPtr xmlReadFile(const char* URL, const char* encoding, int options) {
  return Libxml2().xmlReadFile(URL, encoding, options);
}
xmlDocPtr xmlReadMemory(const char* buffer, int size, const char* URL, const char* encoding,
                        int options) {
  return Libxml2().xmlReadMemory(buffer, size, URL, encoding, options);
}
xmlParserCtxtPtr xmlNewParserCtxt() { return Libxml2().xmlNewParserCtxt(); }
xmlDocPtr xmlCtxtReadMemory(xmlParserCtxtPtr ctxt, const char* buffer, int size, const char* URL,
                            const char* encoding, int options) {
  return Libxml2().xmlCtxtReadMemory(ctxt, buffer, size, URL, encoding, options);
}
int xmlReconciliateNs(xmlDocPtr doc, xmlNodePtr tree) {
  return Libxml2().xmlReconciliateNs(doc, tree);
}
void xmlSetGenericErrorFunc(void* ctx, xmlGenericErrorFunc handler) {
  Libxml2().xmlSetGenericErrorFunc(ctx, handler);
}
void xmlSetStructuredErrorFunc(void* ctx, xmlStructuredErrorFunc handler) {
  Libxml2().xmlSetStructuredErrorFunc(ctx, handler);
}
int xmlStrcmp(const xmlChar* str1, const xmlChar* str2) {
  return Libxml2().xmlStrcmp(str1, str2);
}
xmlChar* xmlStrdup(const xmlChar* cur) { return Libxml2().xmlStrdup(cur); }
int xmlStrlen(const xmlChar* str) { return Libxml2().xmlStrlen(str); }
void xmlUnlinkNode(xmlNodePtr cur) { Libxml2().xmlUnlinkNode(cur); }
int xmlValidateName(const xmlChar* value, int space) {
  return Libxml2().xmlValidateName(value, space);
}
xmlChar* xmlXPathCastToString(xmlXPathObjectPtr val) {
  return Libxml2().xmlXPathCastToString(val);
}
xmlXPathObjectPtr xmlXPathEvalExpression(const xmlChar* str, xmlXPathContextPtr ctxt) {
  return Libxml2().xmlXPathEvalExpression(str, ctxt);
}
xmlXPathContextPtr xmlXPathNewContext(xmlDocPtr doc) { return Libxml2().xmlXPathNewContext(doc); }
xmlXPathObjectPtr xmlXPathNewNodeSet(xmlNodePtr val) { return Libxml2().xmlXPathNewNodeSet(val); }
xmlXPathObjectPtr xmlXPathNodeEval(xmlNodePtr node, const xmlChar* str,
                                   xmlXPathContextPtr ctx) {
  return Libxml2().xmlXPathNodeEval(node, str, ctx);
}
xmlChar* xmlXPathPopString(xmlXPathParserContextPtr ctxt) {
  return Libxml2().xmlXPathPopString(ctxt);
}
void xmlXPatherror(xmlXPathParserContextPtr ctxt, const char* file, int line, int no) {
  Libxml2().xmlXPatherror(ctxt, file, line, no);
}
int valuePush(xmlXPathParserContextPtr ctxt, xmlXPathObjectPtr value) {
  return Libxml2().valuePush(ctxt, value);
}
xmlXPathFunction xmlXPathFunctionLookup(xmlXPathContextPtr ctxt, const xmlChar* name) {
  return Libxml2().xmlXPathFunctionLookup(ctxt, name);
}
void xmlXPathRegisterFuncLookup(xmlXPathContextPtr ctxt, xmlXPathFuncLookupFunc f,
                                void* funcCtxt) {
  Libxml2().xmlXPathRegisterFuncLookup(ctxt, f, funcCtxt);
}
xmlXPathObjectPtr xmlXPathNewFloat(double val) { return Libxml2().xmlXPathNewFloat(val); }
xmlXPathObjectPtr xmlXPathNewString(const xmlChar* val) {
  return Libxml2().xmlXPathNewString(val);
}
void xmlXPathNodeSetSort(xmlNodeSetPtr set) { Libxml2().xmlXPathNodeSetSort(set); }
double xmlXPathStringEvalNumber(const xmlChar* str) {
  return Libxml2().xmlXPathStringEvalNumber(str);
}
int xmlXPathPopBoolean(xmlXPathParserContextPtr ctxt) {
  return Libxml2().xmlXPathPopBoolean(ctxt);
}
xmlXPathObjectPtr xmlXPathNewBoolean(int val) { return Libxml2().xmlXPathNewBoolean(val); }
int xmlXPathEqualValues(xmlXPathParserContextPtr ctxt) {
  return Libxml2().xmlXPathEqualValues(ctxt);
}
int xmlXPathNotEqualValues(xmlXPathParserContextPtr ctxt) {
  return Libxml2().xmlXPathNotEqualValues(ctxt);
}
int xmlXPathCompareValues(xmlXPathParserContextPtr ctxt, int inf, int strict) {
  return Libxml2().xmlXPathCompareValues(ctxt, inf, strict);
}
xmlGenericErrorFunc* __xmlGenericError() { return Libxml2().__xmlGenericError(); }
void** __xmlGenericErrorContext() { return Libxml2().__xmlGenericErrorContext(); }
