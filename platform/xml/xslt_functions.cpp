// The functions of libxslt that the system calls, defined here as forwarders to the library
// opened on first use (platform/sys/on_demand_library.h): only a process that transforms a
// document loads the XSLT processor. Programs are linked without libxslt; a libxslt function
// that is called anywhere needs its forwarder here (the link fails until it has one).
//
// Every function is looked up when the library is first needed; while it cannot be loaded,
// each forwarder throws korvalis::sys::LibraryUnavailable.
//
// Thread-safety: as libxslt's own functions; the library is opened once under a lock.

// The forwarders bind inside whatever links them and are exported by no program or library.
#pragma GCC visibility push(hidden)
#include <libxslt/extensions.h>
#include <libxslt/extra.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>
#pragma GCC visibility pop

#include "platform/sys/on_demand_library.h"

namespace {

#define KORVALIS_XSLT_FUNCTIONS(X)                                                             \
  X(xsltApplyStylesheet) X(xsltApplyStylesheetUser) X(xsltCreateRVT) X(xsltFreeStylesheet)    \
  X(xsltFreeTransformContext) X(xsltFunctionNodeSet) X(xsltGetDefaultSecurityPrefs)           \
  X(xsltInit) X(xsltNewSecurityPrefs) X(xsltNewTransformContext) X(xsltParseStylesheetDoc)    \
  X(xsltRegisterExtModuleFunction) X(xsltRegisterLocalRVT) X(xsltSaveResultTo)               \
  X(xsltSaveResultToString) X(xsltSecurityForbid) X(xsltSetCtxtSecurityPrefs)                 \
  X(xsltSetDefaultSecurityPrefs) X(xsltSetGenericErrorFunc) X(xsltSetSecurityPrefs)           \
  X(xsltSetTransformErrorFunc) X(xsltXPathGetTransformContext)

struct XsltFunctions {
  KORVALIS_XSLT_FUNCTIONS(KORVALIS_ON_DEMAND_MEMBER)
};

XsltFunctions LoadXslt() {
  static korvalis::sys::OnDemandLibrary& library =
      *new korvalis::sys::OnDemandLibrary("libxslt.so.1");
  XsltFunctions functions;
  KORVALIS_XSLT_FUNCTIONS(KORVALIS_ON_DEMAND_FIND)
  return functions;
}

const XsltFunctions& Xslt() {
  static const XsltFunctions functions = LoadXslt();
  return functions;
}

}  // namespace

xmlDocPtr xsltApplyStylesheet(xsltStylesheetPtr style, xmlDocPtr doc, const char** params) {
  return Xslt().xsltApplyStylesheet(style, doc, params);
}
xmlDocPtr xsltApplyStylesheetUser(xsltStylesheetPtr style, xmlDocPtr doc, const char** params,
                                  const char* output, FILE* profile,
                                  xsltTransformContextPtr userCtxt) {
  return Xslt().xsltApplyStylesheetUser(style, doc, params, output, profile, userCtxt);
}
xmlDocPtr xsltCreateRVT(xsltTransformContextPtr ctxt) { return Xslt().xsltCreateRVT(ctxt); }
// The two that release something do nothing for nothing, without loading the library.
void xsltFreeStylesheet(xsltStylesheetPtr style) {
  if (style != nullptr) Xslt().xsltFreeStylesheet(style);
}
void xsltFreeTransformContext(xsltTransformContextPtr ctxt) {
  if (ctxt != nullptr) Xslt().xsltFreeTransformContext(ctxt);
}
void xsltFunctionNodeSet(xmlXPathParserContextPtr ctxt, int nargs) {
  Xslt().xsltFunctionNodeSet(ctxt, nargs);
}
xsltSecurityPrefsPtr xsltGetDefaultSecurityPrefs() { return Xslt().xsltGetDefaultSecurityPrefs(); }
void xsltInit() { Xslt().xsltInit(); }
xsltSecurityPrefsPtr xsltNewSecurityPrefs() { return Xslt().xsltNewSecurityPrefs(); }
xsltTransformContextPtr xsltNewTransformContext(xsltStylesheetPtr style, xmlDocPtr doc) {
  return Xslt().xsltNewTransformContext(style, doc);
}
xsltStylesheetPtr xsltParseStylesheetDoc(xmlDocPtr doc) {
  return Xslt().xsltParseStylesheetDoc(doc);
}
int xsltRegisterExtModuleFunction(const xmlChar* name, const xmlChar* URI,
                                  xmlXPathFunction function) {
  return Xslt().xsltRegisterExtModuleFunction(name, URI, function);
}
int xsltRegisterLocalRVT(xsltTransformContextPtr ctxt, xmlDocPtr RVT) {
  return Xslt().xsltRegisterLocalRVT(ctxt, RVT);
}
int xsltSaveResultTo(xmlOutputBufferPtr buf, xmlDocPtr result, xsltStylesheetPtr style) {
  return Xslt().xsltSaveResultTo(buf, result, style);
}
int xsltSaveResultToString(xmlChar** doc_txt_ptr, int* doc_txt_len, xmlDocPtr result,
                           xsltStylesheetPtr style) {
  return Xslt().xsltSaveResultToString(doc_txt_ptr, doc_txt_len, result, style);
}
int xsltSecurityForbid(xsltSecurityPrefsPtr sec, xsltTransformContextPtr ctxt,
                       const char* value) {
  return Xslt().xsltSecurityForbid(sec, ctxt, value);
}
int xsltSetCtxtSecurityPrefs(xsltSecurityPrefsPtr sec, xsltTransformContextPtr ctxt) {
  return Xslt().xsltSetCtxtSecurityPrefs(sec, ctxt);
}
void xsltSetDefaultSecurityPrefs(xsltSecurityPrefsPtr sec) {
  Xslt().xsltSetDefaultSecurityPrefs(sec);
}
void xsltSetGenericErrorFunc(void* ctx, xmlGenericErrorFunc handler) {
  Xslt().xsltSetGenericErrorFunc(ctx, handler);
}
int xsltSetSecurityPrefs(xsltSecurityPrefsPtr sec, xsltSecurityOption option,
                         xsltSecurityCheck func) {
  return Xslt().xsltSetSecurityPrefs(sec, option, func);
}
void xsltSetTransformErrorFunc(xsltTransformContextPtr ctxt, void* ctx,
                               xmlGenericErrorFunc handler) {
  Xslt().xsltSetTransformErrorFunc(ctxt, ctx, handler);
}
xsltTransformContextPtr xsltXPathGetTransformContext(xmlXPathParserContextPtr ctxt) {
  return Xslt().xsltXPathGetTransformContext(ctxt);
}
