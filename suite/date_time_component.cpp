// The date-time components: the suite's current date and time for the records (date-time
// component) and for the work-list service (server date and time).
#include "suite/date_time_component.h"

#include <ctime>

#include "foundation/suite/suite_interfaces.h"
#include "platform/db/ora_date.h"
#include "platform/text/unicode.h"
#include "suite/components.h"
#include "suite/stand_in.h"
#include "suite/suite_config.h"

namespace korvalis::suite {

bool IsDateTimeText(std::u16string_view text) {
  constexpr std::u16string_view kPattern = u"0000-00-00 00:00:00";
  if (text.size() != kPattern.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    bool digit = text[i] >= u'0' && text[i] <= u'9';
    if (kPattern[i] == u'0' ? !digit : text[i] != kPattern[i]) return false;
  }
  auto number = [text](size_t at) { return (text[at] - u'0') * 10 + (text[at + 1] - u'0'); };
  const int month = number(5);
  if (month < 1 || month > 12) return false;
  return number(8) >= 1 && number(8) <= db::DaysInMonth(number(0) * 100 + number(2), month) &&
         number(11) < 24 && number(14) < 60 && number(17) < 60;
}

std::u16string SuiteDateTime(const SuiteConfig& config) {
  if (!config.fixed_datetime.empty()) return config.fixed_datetime;
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return FromUtf8(text);
}

namespace {

class DateTimeComponent : public StandIn<IDateTimeService, IID_IDateTimeService> {
 public:
  HRESULT GetDateTime(BSTR* pbstrDateTime) override {
    return Serve([&] { return Answer(pbstrDateTime, SuiteDateTime(*SuiteConfig::Load())); });
  }
};

class ServerDateTimeComponent : public StandIn<IServerDateTime, IID_IServerDateTime> {
 public:
  HRESULT GetDateTime(BSTR* pbstrDateTime) override {
    return Serve([&] { return Answer(pbstrDateTime, SuiteDateTime(*SuiteConfig::Load())); });
  }
};

}  // namespace

HRESULT CreateDateTimeComponent(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateComInstance<DateTimeComponent, com::Aggregation::kRefused>(outer, riid, ppv);
}

HRESULT CreateServerDateTimeComponent(IUnknown* outer, REFIID riid, void** ppv) {
  return com::CreateComInstance<ServerDateTimeComponent, com::Aggregation::kRefused>(outer, riid,
                                                                                   ppv);
}

}  // namespace korvalis::suite
