// The age of a patient at a reference time as the record shows it, by the system parameter
// `system_age_format` "L;H;Y" (months L and H, year rule Y; the default 1;168;0 when the
// parameter does not hold exactly three numbers with L below H):
//
//   months = the calendar months from the birthday B to the reference R (one less while the
//            day of R is before the day of B); days and hours = the whole span R - B.
//   months >= H        Y = 0: year(R) - year(B) "岁" (calendar years: 2000-06-15 to
//                      2020-03-01 is "20岁"); any other Y: months / 12 "岁"
//   12 <= months < H   years "岁", followed by the remaining months "个月" unless none
//   L <= months < 12   months "个月", then "零" and the day difference (plus 30 when it is
//                      negative) "天" unless the days of R and B are the same
//   months < L         days "天"; under one day hours "小时"; under one hour "1小时以内"
//
// "未知" when there is no birthday, when either time does not parse, or when R is before B.
//
// Thread-safety: stateless; concurrent calls work on their own data sources.
#pragma once

#include <string>
#include <vector>

#include "platform/com/bstr.h"

class CSingleDataSource;

inline constexpr char16_t kUnknownAge[] = u"未知";

// The age text at `bstrReferenceTime` (a null BSTR is the empty text) of the birthday
// `strBirthday`, both date texts. Reads `system_age_format` through the data source unless the
// birthday is empty; its failures are thrown as the data source reports them.
std::u16string FormatAge(CSingleDataSource* pDataSource, BSTR bstrReferenceTime,
                         std::u16string strBirthday);

// Appends the numbers of the pieces of `strText` between the characters of `strDelimiters`:
// delimiters at the start are skipped, a delimiter at the end adds no piece, and each piece
// gives the signed decimal number it begins with (0 when it begins with none, an empty piece
// between two delimiters included). "1;168;0" gives 1, 168, 0; ";;5" gives 5; "3;;7" gives
// 3, 0, 7.
void SplitToLongs(const std::u16string& strText, const std::u16string& strDelimiters,
                  std::vector<long>& values);
