#include "report/summary_fragments.h"

#include "foundation/data/sql_text.h"

namespace korvalis::report {

namespace {

std::u16string Placed(const std::u16string& value, Placement placement, const char16_t* key) {
  switch (placement) {
    case Placement::kQuoted:
      return SqlQuoted(value);
    case Placement::kBare:
      return SqlBareNumber(value, key);
    case Placement::kDay:
      return u"TO_DATE(" + SqlQuoted(value) + u", 'yyyy-mm-dd')";
    case Placement::kDayAfter:
      return u"TO_DATE(" + SqlQuoted(value) + u", 'yyyy-mm-dd')+1";
  }
  return std::u16string();
}

}  // namespace

std::u16string FragmentText(const Fragment& fragment, const std::u16string& value) {
  return fragment.before + Placed(value, fragment.placement, fragment.key) + fragment.after;
}

std::u16string FragmentsOf(const CXmlProperty& property,
                           std::initializer_list<Fragment> fragments) {
  std::u16string text;
  for (const Fragment& fragment : fragments) {
    const std::u16string value = property.GetValue(fragment.key);
    if (!value.empty()) text += FragmentText(fragment, value);
  }
  return text;
}

}  // namespace korvalis::report
