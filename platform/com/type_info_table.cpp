#include "platform/com/type_info_table.h"

#include <algorithm>

#include "platform/text/ascii.h"
#include "platform/text/unicode.h"

namespace korvalis::com {
namespace {

ArgumentKind ExpectedKind(const ParamInfo& p) {
  bool by_ref = p.direction != ParamDirection::kIn;
  switch (p.type) {
    case VT_BSTR:
      return by_ref ? ArgumentKind::kBstrRef : ArgumentKind::kBstr;
    case VT_I4:
      return by_ref ? ArgumentKind::kI4Ref : ArgumentKind::kI4;
    default:
      return by_ref ? ArgumentKind::kI2Ref : ArgumentKind::kI2;
  }
}

}  // namespace

bool NameEquals(std::u16string_view a, std::u16string_view b) {
  return EqualsIgnoringAsciiCase(a, b);
}

const MethodInfo* InterfaceInfo::FindMethod(int32_t dispid) const {
  auto it = std::lower_bound(methods.begin(), methods.end(), dispid,
                             [](const MethodInfo& m, int32_t id) { return m.dispid < id; });
  return it != methods.end() && it->dispid == dispid ? &*it : nullptr;
}

const MethodInfo* InterfaceInfo::FindMethod(std::u16string_view method_name) const {
  for (const MethodInfo& m : methods) {
    if (EqualsIgnoringAsciiCase(m.name, method_name)) return &m;
  }
  return nullptr;
}

const CoClassInfo* TypeLibraryInfo::FindCoClass(const GUID& clsid) const {
  for (const CoClassInfo& c : coclasses) {
    if (c.clsid == clsid) return &c;
  }
  return nullptr;
}

std::string CheckInterfaceInfo(const InterfaceInfo& info) {
  if (info.name.empty()) return "interface without a name";
  // Every library load checks its tables: the names that place a problem are written only
  // for the problem found.
  for (size_t i = 0; i < info.methods.size(); ++i) {
    const MethodInfo& m = info.methods[i];
    const auto method = [&] { return ToUtf8(info.name) + "::" + ToUtf8(m.name); };
    if (m.dispid <= 0) return method() + ": dispatch identifier must be positive";
    if (i > 0 && info.methods[i - 1].dispid >= m.dispid) {
      return method() + ": dispatch identifiers must ascend without repeats";
    }
    for (size_t j = 0; j < i; ++j) {
      if (EqualsIgnoringAsciiCase(info.methods[j].name, m.name)) {
        return method() + ": method name repeated";
      }
    }
    if (m.params.size() > kMaxDispatchParams) return method() + ": too many parameters";
    if (m.invoker.invoke == nullptr) return method() + ": no invoker";
    if (m.invoker.signature.size() != m.params.size()) {
      return method() + ": the C++ method has " + std::to_string(m.invoker.signature.size()) +
             " parameters, the table " + std::to_string(m.params.size());
    }
    for (size_t k = 0; k < m.params.size(); ++k) {
      const ParamInfo& p = m.params[k];
      const auto param = [&] { return method() + "(" + ToUtf8(p.name) + ")"; };
      if (p.name.empty()) return param() + ": parameter without a name";
      if (p.type != VT_BSTR && p.type != VT_I4 && p.type != VT_I2 && p.type != VT_BOOL) {
        return param() + ": unsupported type";
      }
      if (p.direction == ParamDirection::kOutRetval && k + 1 != m.params.size()) {
        return param() + ": [out,retval] must be the last parameter";
      }
      if (m.invoker.signature[k] != ExpectedKind(p)) {
        return param() + ": the C++ parameter type does not match the declared type";
      }
      for (size_t j = 0; j < k; ++j) {
        if (EqualsIgnoringAsciiCase(m.params[j].name, p.name)) {
          return param() + ": parameter name repeated";
        }
      }
    }
  }
  return {};
}

}  // namespace korvalis::com
