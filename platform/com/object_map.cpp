#include "platform/com/object_map.h"

namespace korvalis::com {

std::u16string_view ThreadingModelName(ThreadingModel model) {
  switch (model) {
    case ThreadingModel::kApartment:
      return u"Apartment";
    case ThreadingModel::kBoth:
      return u"Both";
    case ThreadingModel::kNeutral:
      return u"Neutral";
    case ThreadingModel::kFree:
      return u"Free";
  }
  return u"Apartment";
}

}  // namespace korvalis::com
