// The body runner of the stand-ins (see suite/stand_in.h).
#pragma once

#include <exception>
#include <new>

#include "foundation/emr_exception.h"
#include "platform/com/unicode.h"

namespace korvalis::suite {

template <class Body>
HRESULT Serve(Body&& body) noexcept {
  try {
    return body();
  } catch (const CEMRException& e) {
    return ReportFailure(e.GetText());
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    return ReportFailure(FromUtf8(e.what()));
  } catch (...) {
    return ReportFailure(u"组件内部错误.");
  }
}

}  // namespace korvalis::suite
