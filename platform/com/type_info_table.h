// The type information of one dual interface as a declarative, constant table: the interface
// identifier, name and help string, and its methods with dispatch identifier, name, help string
// and parameters (name, VARTYPE, direction). One table per interface is the single source of the
// type library: it drives GetIDsOfNames and Invoke (platform/com/dispatch_impl.h), registration,
// `korvalis classes` and table-driven tests.
//
// Each method row also carries its invoker, a function generated from the interface's virtual
// function (MethodInvoker below) that unpacks coerced arguments and calls through the vtable, so
// late-bound calls reach exactly the code that early-bound callers reach.
//
// Example, the interface
//
//   class IQualityTrigger : public IDispatch {
//    public:
//     virtual HRESULT FireOpen(BSTR bstrPatientID, BSTR bstrEventNo, BSTR bstrEventPro) = 0;
//     virtual HRESULT Cancel(BSTR bstrPatientID, BSTR bstrEventNo, int32_t lngTrigger) = 0;
//   };
//
// is described by
//
//   using korvalis::com::MethodInfo; using korvalis::com::ParamInfo;
//   using korvalis::com::Param; using korvalis::com::Invoker;
//   constexpr ParamInfo kFireOpenParams[] = {Param::In(u"bstrPatientID", VT_BSTR),
//                                            Param::In(u"bstrEventNo", VT_BSTR),
//                                            Param::In(u"bstrEventPro", VT_BSTR)};
//   constexpr ParamInfo kCancelParams[] = {Param::In(u"bstrPatientID", VT_BSTR),
//                                          Param::In(u"bstrEventNo", VT_BSTR),
//                                          Param::In(u"lngTrigger", VT_I4)};
//   constexpr MethodInfo kMethods[] = {
//       {1, u"FireOpen", u"method FireOpen", kFireOpenParams, Invoker<&IQualityTrigger::FireOpen>,
//        DataAccess::kWrites},
//       {3, u"Cancel", u"method Cancel", kCancelParams, Invoker<&IQualityTrigger::Cancel>},
//   };
//   extern const korvalis::com::InterfaceInfo kIQualityTriggerInfo;   // in a header
//   constexpr korvalis::com::InterfaceInfo kIQualityTriggerInfo{
//       korvalis::com::MakeGuid("92763075-1E9D-4593-8604-FA6A208DE75A"), u"IQualityTrigger",
//       u"IQualityTrigger Interface", kMethods};
//
// Parameters are listed in declaration order (the order of the virtual function), the
// [out,retval] one last. Method rows are in dispatch-identifier order, which is also the vtable
// order; identifiers may leave gaps. A row ends with DataAccess::kWrites when the method changes
// stored data (the method frame then gives its call a writing transaction); reading is the
// default.
//
// Types: VT_BSTR (BSTR), VT_I4 (int32_t, the automation long), VT_I2 (int16_t) and VT_BOOL
// (VARIANT_BOOL). Out and in-out parameters are pointers to those. `long` is 64 bits here and is
// refused at compile time.
//
// Thread-safety: the tables are immutable constants; any thread may read them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "platform/com/bstr.h"
#include "platform/com/guid.h"
#include "platform/com/hresult.h"
#include "platform/com/variant.h"

struct IDispatch;

namespace korvalis::com {

enum class ParamDirection : uint8_t {
  kIn,         // [in]: passed by value
  kOut,        // [out]: a pointer the method writes
  kInOut,      // [in,out]: a pointer the method reads and may replace
  kOutRetval,  // [out,retval]: the last parameter; its value is the result of a late-bound call
};

struct ParamInfo {
  std::u16string_view name;  // exactly as clients pass it as a named argument
  VARTYPE type;              // VT_BSTR, VT_I4, VT_I2 or VT_BOOL (never with VT_BYREF)
  ParamDirection direction;
};

// Shorthands for the rows of a parameter list.
struct Param {
  static constexpr ParamInfo In(std::u16string_view name, VARTYPE type) {
    return {name, type, ParamDirection::kIn};
  }
  static constexpr ParamInfo Out(std::u16string_view name, VARTYPE type) {
    return {name, type, ParamDirection::kOut};
  }
  static constexpr ParamInfo InOut(std::u16string_view name, VARTYPE type) {
    return {name, type, ParamDirection::kInOut};
  }
  static constexpr ParamInfo Retval(std::u16string_view name, VARTYPE type) {
    return {name, type, ParamDirection::kOutRetval};
  }
};

// One argument as the method receives it, after coercion to the declared type.
union DispatchArgument {
  BSTR bstr;
  int32_t i4;
  int16_t i2;  // VT_I2 and VT_BOOL
  BSTR* pbstr;
  int32_t* pi4;
  int16_t* pi2;
};

// Calls the method on `object` (the interface's IDispatch part) with one argument per parameter,
// in declaration order. Returns the method's own HRESULT.
using MethodInvokerFn = HRESULT (*)(IDispatch* object, const DispatchArgument* args);

// The C++ parameter types the invoker can pass, as the table must declare them.
enum class ArgumentKind : uint8_t { kBstr, kI4, kI2, kBstrRef, kI4Ref, kI2Ref };

// The invoker of one interface method and its C++ parameter kinds; written as
// `Invoker<&IFoo::Bar>` in a MethodInfo row (see below).
struct InvokerBinding {
  MethodInvokerFn invoke;
  std::span<const ArgumentKind> signature;  // checked against the declared parameters
};

// What a method does to stored data. A call of a method that writes runs in a writing
// transaction, which holds the database's write lock from its first statement, so that what
// the call read stays valid until it has written and committed.
enum class DataAccess : uint8_t { kReads, kWrites };

struct MethodInfo {
  int32_t dispid;  // DISPID
  std::u16string_view name;
  std::u16string_view help;
  std::span<const ParamInfo> params;
  InvokerBinding invoker;
  DataAccess access = DataAccess::kReads;
};

// The most parameters one method may declare.
inline constexpr size_t kMaxDispatchParams = 16;

// Whether two member or parameter names are the same for late-bound callers: ASCII letters
// compare without case, as the platform's name lookup does.
bool NameEquals(std::u16string_view a, std::u16string_view b);

struct InterfaceInfo {
  GUID iid;
  std::u16string_view name;
  std::u16string_view help;
  std::span<const MethodInfo> methods;  // in dispatch-identifier order

  // The row of `dispid`, or nullptr.
  const MethodInfo* FindMethod(int32_t dispid) const;
  // The row whose name equals `name` ignoring ASCII case, or nullptr.
  const MethodInfo* FindMethod(std::u16string_view name) const;
};

// A coclass of the type library: the creatable class and its one, default interface.
struct CoClassInfo {
  std::u16string_view name;  // "QualityRule"
  GUID clsid;
  std::u16string_view help;  // "QualityRule Class"
  const InterfaceInfo* interface;
};

struct TypeLibraryInfo {
  GUID libid;
  std::u16string_view name;  // "korvalisLib"
  uint16_t major_version;
  uint16_t minor_version;
  std::u16string_view help;
  std::span<const CoClassInfo> coclasses;

  const CoClassInfo* FindCoClass(const GUID& clsid) const;
};

// Compares the table of one interface with itself and with its invokers: dispatch identifiers
// ascending and unique, names unique ignoring case, supported types, at most one
// [out,retval] and only last, and each invoker's C++ signature matching the declared
// parameters. Returns an empty text when the table is sound, else what is wrong.
std::string CheckInterfaceInfo(const InterfaceInfo& info);

// Parses "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (hex digits of either case, no braces) at
// compile time; a malformed text does not compile.
consteval GUID MakeGuid(std::string_view text) {
  GUID guid{};
  if (!ParseGuidText(text, &guid)) throw "not a GUID text";
  return guid;
}

namespace detail {

template <class T>
struct ArgumentTraits {
  static_assert(sizeof(T) == 0,
                "automation parameters are BSTR, int32_t, int16_t/VARIANT_BOOL or pointers to "
                "them");
};
template <>
struct ArgumentTraits<BSTR> {
  static constexpr ArgumentKind kKind = ArgumentKind::kBstr;
  static BSTR Get(const DispatchArgument& a) { return a.bstr; }
};
template <>
struct ArgumentTraits<int32_t> {
  static constexpr ArgumentKind kKind = ArgumentKind::kI4;
  static int32_t Get(const DispatchArgument& a) { return a.i4; }
};
template <>
struct ArgumentTraits<int16_t> {
  static constexpr ArgumentKind kKind = ArgumentKind::kI2;
  static int16_t Get(const DispatchArgument& a) { return a.i2; }
};
template <>
struct ArgumentTraits<BSTR*> {
  static constexpr ArgumentKind kKind = ArgumentKind::kBstrRef;
  static BSTR* Get(const DispatchArgument& a) { return a.pbstr; }
};
template <>
struct ArgumentTraits<int32_t*> {
  static constexpr ArgumentKind kKind = ArgumentKind::kI4Ref;
  static int32_t* Get(const DispatchArgument& a) { return a.pi4; }
};
template <>
struct ArgumentTraits<int16_t*> {
  static constexpr ArgumentKind kKind = ArgumentKind::kI2Ref;
  static int16_t* Get(const DispatchArgument& a) { return a.pi2; }
};

template <auto Method>
struct MethodInvoker;

template <class Interface, class... Args, HRESULT (Interface::*Method)(Args...)>
struct MethodInvoker<Method> {
  static constexpr ArgumentKind kSignature[sizeof...(Args) + 1] = {
      ArgumentTraits<std::remove_cv_t<Args>>::kKind..., ArgumentKind::kBstr};

  static HRESULT Invoke(IDispatch* object, const DispatchArgument* args) {
    return Call(static_cast<Interface*>(object), args, std::index_sequence_for<Args...>{});
  }

 private:
  template <size_t... N>
  static HRESULT Call(Interface* object, [[maybe_unused]] const DispatchArgument* args,
                      std::index_sequence<N...>) {
    return (object->*Method)(ArgumentTraits<std::remove_cv_t<Args>>::Get(args[N])...);
  }
};

}  // namespace detail

// The invoker of one interface method, for the last member of its MethodInfo row.
template <auto Method>
inline constexpr InvokerBinding Invoker{
    &detail::MethodInvoker<Method>::Invoke,
    std::span<const ArgumentKind>(detail::MethodInvoker<Method>::kSignature,
                                  std::size(detail::MethodInvoker<Method>::kSignature) - 1)};

}  // namespace korvalis::com
