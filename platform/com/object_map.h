// The object map of a component library: one entry per creatable class, in the order in which
// the library registers them and answers for their class objects. An entry joins what the
// class's registration script says (ClassRegistration), the type information of its one,
// default interface, and its instance creator.
//
// A library lists its entries in one constant array, e.g.
//
//   const ObjectMapEntry kObjectMap[] = {
//       {kArchivePatientRegistration, kIArchivePatientInfo,
//        &CreateComInstance<CArchivePatient, Aggregation::kSupported>},
//       ...
//   };
//
// Thread-safety: immutable constants.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/com/class_factory.h"
#include "platform/com/guid.h"
#include "platform/com/type_info_table.h"

namespace korvalis::com {

// The value ThreadingModel of a class's InprocServer32 key.
enum class ThreadingModel : uint8_t { kApartment, kBoth, kNeutral, kFree };

std::u16string_view ThreadingModelName(ThreadingModel model);

// What the registration script of one class writes.
struct ClassRegistration {
  std::u16string_view name;  // "QualityRule": ProgIDs "<library>.QualityRule.1" and without ".1"
  GUID clsid;
  int script_resource;       // the number of the class's registration script
  ThreadingModel threading;
  GUID typelib_value;        // the value of the class key's TypeLib subkey
};

struct ObjectMapEntry {
  const ClassRegistration& registration;
  const InterfaceInfo& interface;  // the class's default interface
  InstanceCreator create_instance;
};

}  // namespace korvalis::com
