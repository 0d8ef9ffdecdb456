// The functions of PCRE2 (8-bit code units) that the regular-expression functions of the
// embedded file call, defined here as forwarders to the library opened on first use
// (platform/sys/on_demand_library.h): only a statement that matches a regular expression loads
// it. Programs are linked without PCRE2; a PCRE2 function called anywhere needs its forwarder
// here (the link fails with an undefined reference until it has one).
//
// Every function is looked up when the library is first needed; while it cannot be loaded,
// each forwarder throws DbError naming the missing library.
//
// Thread-safety: as PCRE2's own functions; the library is opened once under a lock.

// The forwarders bind inside whatever links them and are exported by no program or library.
#pragma GCC visibility push(hidden)
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#pragma GCC visibility pop

#include "platform/db/sql_error.h"
#include "platform/sys/on_demand_library.h"

namespace {

#define KORVALIS_PCRE2_FUNCTIONS(X)                                                     \
  X(pcre2_compile_8) X(pcre2_code_free_8) X(pcre2_get_error_message_8)                  \
  X(pcre2_match_data_create_from_pattern_8) X(pcre2_match_data_free_8) X(pcre2_match_8) \
  X(pcre2_get_ovector_pointer_8) X(pcre2_match_context_create_8)                        \
  X(pcre2_match_context_free_8) X(pcre2_set_callout_8) X(pcre2_dfa_match_8)            \
  X(pcre2_set_match_limit_8)

struct Pcre2Functions {
  KORVALIS_PCRE2_FUNCTIONS(KORVALIS_ON_DEMAND_MEMBER)
};

Pcre2Functions LoadPcre2() {
  static korvalis::sys::OnDemandLibrary& library =
      *new korvalis::sys::OnDemandLibrary("libpcre2-8.so.0");
  try {
    Pcre2Functions functions;
    KORVALIS_PCRE2_FUNCTIONS(KORVALIS_ON_DEMAND_FIND)
    return functions;
  } catch (const korvalis::sys::LibraryUnavailable& error) {
    throw korvalis::db::DbError(korvalis::db::kProviderFailed,
                                std::string("the regular-expression library is missing: ") +
                                    error.what());
  }
}

const Pcre2Functions& Pcre2() {
  static const Pcre2Functions functions = LoadPcre2();
  return functions;
}

}  // namespace

pcre2_code_8* pcre2_compile_8(PCRE2_SPTR8 pattern, PCRE2_SIZE length, uint32_t options,
                              int* errorcode, PCRE2_SIZE* erroroffset,
                              pcre2_compile_context_8* context) {
  return Pcre2().pcre2_compile_8(pattern, length, options, errorcode, erroroffset, context);
}
// The ones that release something do nothing for nothing, without loading the library.
void pcre2_code_free_8(pcre2_code_8* code) {
  if (code != nullptr) Pcre2().pcre2_code_free_8(code);
}
void pcre2_match_data_free_8(pcre2_match_data_8* data) {
  if (data != nullptr) Pcre2().pcre2_match_data_free_8(data);
}
void pcre2_match_context_free_8(pcre2_match_context_8* context) {
  if (context != nullptr) Pcre2().pcre2_match_context_free_8(context);
}
int pcre2_get_error_message_8(int errorcode, PCRE2_UCHAR8* buffer, PCRE2_SIZE bufflen) {
  return Pcre2().pcre2_get_error_message_8(errorcode, buffer, bufflen);
}
pcre2_match_data_8* pcre2_match_data_create_from_pattern_8(const pcre2_code_8* code,
                                                           pcre2_general_context_8* context) {
  return Pcre2().pcre2_match_data_create_from_pattern_8(code, context);
}
int pcre2_match_8(const pcre2_code_8* code, PCRE2_SPTR8 subject, PCRE2_SIZE length,
                  PCRE2_SIZE startoffset, uint32_t options, pcre2_match_data_8* match_data,
                  pcre2_match_context_8* mcontext) {
  return Pcre2().pcre2_match_8(code, subject, length, startoffset, options, match_data, mcontext);
}
PCRE2_SIZE* pcre2_get_ovector_pointer_8(pcre2_match_data_8* match_data) {
  return Pcre2().pcre2_get_ovector_pointer_8(match_data);
}
pcre2_match_context_8* pcre2_match_context_create_8(pcre2_general_context_8* context) {
  return Pcre2().pcre2_match_context_create_8(context);
}
int pcre2_set_callout_8(pcre2_match_context_8* context,
                        int (*callout)(pcre2_callout_block_8*, void*), void* data) {
  return Pcre2().pcre2_set_callout_8(context, callout, data);
}
int pcre2_set_match_limit_8(pcre2_match_context_8* context, uint32_t limit) {
  return Pcre2().pcre2_set_match_limit_8(context, limit);
}
int pcre2_dfa_match_8(const pcre2_code_8* code, PCRE2_SPTR8 subject, PCRE2_SIZE length,
                      PCRE2_SIZE startoffset, uint32_t options, pcre2_match_data_8* match_data,
                      pcre2_match_context_8* mcontext, int* workspace, PCRE2_SIZE wscount) {
  return Pcre2().pcre2_dfa_match_8(code, subject, length, startoffset, options, match_data,
                                   mcontext, workspace, wscount);
}
