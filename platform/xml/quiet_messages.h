// Keeps libxml2's unstructured messages of this thread (an XPath naming an unknown function
// prints one) off the host's standard error while it lives, and gives the thread its own handler
// back after: a library in the host's process changes none of its state.
//
// Thread-safety: libxml2's handler is the calling thread's; one object per scope of a thread.
#pragma once

#include <libxml/xmlerror.h>

namespace korvalis::xml {

class QuietMessages {
 public:
  QuietMessages() : handler_(xmlGenericError), context_(xmlGenericErrorContext) {
    xmlSetGenericErrorFunc(nullptr, Discard);
  }
  ~QuietMessages() { xmlSetGenericErrorFunc(context_, handler_); }
  QuietMessages(const QuietMessages&) = delete;
  QuietMessages& operator=(const QuietMessages&) = delete;

 private:
  static void Discard(void*, const char*, ...) {}

  xmlGenericErrorFunc handler_;
  void* context_;
};

}  // namespace korvalis::xml
