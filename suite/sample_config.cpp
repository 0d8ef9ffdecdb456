#include "suite/sample_config.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "foundation/text/string_util.h"
#include "foundation/xml/xml_text.h"
#include "platform/sys/private_file.h"
#include "platform/sys/write_all.h"
#include "platform/text/unicode.h"
#include "suite/components.h"
#include "suite/stand_in.h"

namespace korvalis::suite {
namespace {

struct SampleDepartment {
  const char16_t* id;
  const char16_t* name;
  const char16_t* diagnosis;
  const char16_t* icd;
};

constexpr SampleDepartment kDepartments[] = {
    {u"0101", u"心血管内科", u"急性心肌梗死", u"I21.9"},
    {u"0102", u"呼吸内科", u"社区获得性肺炎", u"J18.9"},
    {u"0201", u"普通外科", u"急性阑尾炎", u"K35.8"},
    {u"0202", u"骨科", u"股骨颈骨折", u"S72.0"},
    {u"0301", u"妇产科", u"妊娠期高血压", u"O13"},
    {u"0401", u"儿科", u"支气管肺炎", u"J18.0"},
};

struct SampleVisit {
  const char16_t* patient_id;
  const char16_t* event_no;
  const char16_t* dept_id;
  const char16_t* in_time;
  const char16_t* out_time;  // empty: in hospital
};

// The visits of the sample hospital's database.
constexpr SampleVisit kVisits[] = {
    {u"P0001", u"2025061501", u"0101", u"2025-06-15 10:20:00", u"2025-06-24 09:00:00"},
    {u"P0001", u"2026120101", u"0101", u"2026-12-01 09:30:00", u""},
    {u"P0002", u"2026120301", u"0101", u"2026-12-03 14:10:00", u""},
    {u"P0004", u"2026120601", u"0101", u"2026-12-06 10:45:00", u""},
    {u"P0003", u"2026120201", u"0201", u"2026-12-02 08:00:00", u""},
    {u"P0005", u"2026112801", u"0102", u"2026-11-28 22:40:00", u""},
    {u"P0009", u"2026110301", u"0401", u"2026-11-03 09:00:00", u"2026-11-12 10:00:00"},
    {u"P0009", u"2026120501", u"0401", u"2026-12-05 16:20:00", u""},
    {u"P0012", u"2026120401", u"0301", u"2026-12-04 07:15:00", u""},
    {u"P0006", u"2026111001", u"0102", u"2026-11-10 11:00:00", u"2026-11-20 10:00:00"},
    {u"P0007", u"2026110501", u"0202", u"2026-11-05 09:10:00", u"2026-11-18 10:30:00"},
    {u"P0008", u"2026111501", u"0301", u"2026-11-15 13:00:00", u"2026-11-22 09:40:00"},
    {u"P0010", u"2026102001", u"0101", u"2026-10-20 15:00:00", u"2026-11-02 10:00:00"},
    {u"P0011", u"2026111201", u"0201", u"2026-11-12 10:00:00", u"2026-11-25 15:00:00"},
};

const SampleDepartment& DepartmentOf(const SampleVisit& visit) {
  for (const SampleDepartment& dept : kDepartments) {
    if (std::u16string_view(dept.id) == visit.dept_id) return dept;
  }
  return kDepartments[0];
}

std::u16string VisitText(const SampleVisit& visit) {
  const SampleDepartment& dept = DepartmentOf(visit);
  auto dept_at = [&dept](const char16_t* time) {
    return u"<dept id=\"" + std::u16string(dept.id) + u"\" time=\"" + time + u"\">" + dept.name +
           u"</dept>";
  };
  const std::u16string diagnosis = u"<diag icd=\"" + std::u16string(dept.icd) +
                                   u"\" issue=\"" + visit.in_time + u"\">" + dept.diagnosis +
                                   u"</diag>";
  const bool discharged = visit.out_time[0] != u'\0';
  std::u16string text = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<visit>\n";
  text += u"  <residence_no>Z" + std::u16string(visit.event_no) + u"</residence_no>\n";
  text += u"  <in_out><root><in>" + dept_at(visit.in_time) + u"</in><warddept id=\"" + dept.id +
          u"\">" + dept.name + u"</warddept>" +
          (discharged ? u"<out>" + dept_at(visit.out_time) + u"</out>" : std::u16string(u"<out/>")) +
          u"</root></in_out>\n";
  text += u"  <discharged>" + std::u16string(discharged ? u"1" : u"0") + u"</discharged>\n";
  text += u"  <diagnosis><root><clinic>" + diagnosis + u"</clinic><residence>" + diagnosis +
          u"</residence><finish doctor=\"\" confirm=\"\"/></root></diagnosis>\n";
  text += u"  <fee><root><total>980.5</total><bed>120</bed><drug>860.5</drug></root></fee>\n";
  if (std::u16string_view(dept.id) == u"0201") {
    text += u"  <operation><root><operation icd=\"47.01\" date=\"" + std::u16string(visit.in_time) +
            u"\" operator=\"周国栋\" assistant1=\"吴思远\" assistant2=\"\" anaes=\"全身麻醉\" "
            u"open=\"\" close=\"\" anaesdoctor=\"\">腹腔镜阑尾切除术</operation></root></operation>\n";
  }
  text += u"  <fee_list><root><fee code=\"01\">120</fee><fee code=\"02\">860.5</fee></root>"
          u"</fee_list>\n";
  if (std::u16string_view(dept.id) == u"0102") {
    // Respiratory patients come through the out-patient clinic.
    text += u"  <clinic_reg><root><caseno>MZ" + std::u16string(visit.event_no) +
            u"</caseno><dept>呼吸内科门诊</dept></root></clinic_reg>\n";
    text += u"  <clinic_examine><root><temperature>38.6</temperature><pulse>96</pulse>"
            u"<breath>22</breath><bp>128/80</bp></root></clinic_examine>\n";
    text += u"  <clinic_diag><root><diag>社区获得性肺炎</diag><diag>发热</diag></root>"
            u"</clinic_diag>\n";
    text += u"  <clinic_recipe><root>"
            u"<recipe class=\"A\" print=\"01\"><item sepc=\"0.25g*24\" dose=\"0.5\" "
            u"dose_unit=\"g\" method=\"口服\" freq=\"tid\" daycount=\"3\" total=\"2\" "
            u"total_unit=\"盒\" price=\"12.5\" charge=\"25\">阿莫西林胶囊</item></recipe>"
            u"<recipe class=\"E\"><item sepc=\"250ml\" dose=\"250\" dose_unit=\"ml\" "
            u"method=\"静滴\" freq=\"qd\" daycount=\"3\" total=\"3\" total_unit=\"袋\" "
            u"price=\"4.2\" charge=\"12.6\">0.9%氯化钠注射液</item></recipe>"
            u"</root></clinic_recipe>\n";
  }
  if (!discharged) {
    text += u"  <record_plan><root>"
            u"<record id=\"2\" code=\"E01\" timeout=\"24\">入院记录</record>"
            u"<record id=\"3\" code=\"E02\" timeout=\"8\">首次病程记录</record>"
            u"</root></record_plan>\n";
  }
  text += u"  <data key=\"emr.residence.diagnosis.first\">" + std::u16string(dept.diagnosis) +
          u"</data>\n";
  return text + u"</visit>\n";
}

// The configuration and the HIS files hold patient data and the staff database's connection:
// they are the owner's only.
void WriteFile(const std::filesystem::path& path, const std::string& text) {
  const int fd = sys::OpenPrivateFile(path.string(), O_WRONLY | O_TRUNC);
  const bool written = fd >= 0 && sys::WriteAll(fd, text);
  if (fd >= 0 && ::close(fd) != 0) throw std::runtime_error("cannot write " + path.string());
  if (!written) throw std::runtime_error("cannot write " + path.string());
}

void MakeFolder(const std::filesystem::path& path) {
  if (!sys::MakePrivateFolders(path.string())) {
    throw std::runtime_error("cannot make the folder " + path.string());
  }
}

}  // namespace

std::string SuiteConfigText(const std::string& init_string, bool sample_hospital) {
  std::u16string text = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<suite>\n  <interfaces>\n";
  for (const StandInClass& c : StandInClasses()) {
    if (c.iid == StandInClasses().front().iid) continue;  // the registry component itself
    text += u"    <interface iid=\"" + ToUpperAscii(GuidToString(*c.iid)) + u"\" clsid=\"" +
            ToUpperAscii(GuidToString(c.clsid)) + u"\"/>\n";
  }
  text += u"  </interfaces>\n";
  text += u"  <!-- fixed=\"YYYY-MM-DD HH:MM:SS\" stops the clock; empty: the system clock -->\n";
  text += u"  <datetime fixed=\"\"/>\n";
  text += u"  <database>" + XmlEscapedWithQuotes(FromUtf8(init_string)) + u"</database>\n";
  if (sample_hospital) {
    text += u"  <visits dir=\"" + FromUtf8(kVisitsFolder) + u"\"/>\n";
    text += u"  <hospitals><hospital id=\"H01\" name=\"示例市人民医院\"/></hospitals>\n";
    text += u"  <departments>\n";
    for (const SampleDepartment& dept : kDepartments) {
      text += u"    <dept id=\"" + std::u16string(dept.id) + u"\" name=\"" + dept.name +
              u"\" hospital=\"H01\"/>\n";
    }
    text += u"  </departments>\n";
    text += u"  <dictionaries>\n"
            u"    <dictionary number=\"1\"><root><item id=\"1\">男</item><item id=\"0\">女</item>"
            u"</root></dictionary>\n"
            u"    <dictionary number=\"2\"><root><item id=\"01\">汉族</item>"
            u"<item id=\"03\">回族</item><item id=\"06\">满族</item></root></dictionary>\n"
            u"  </dictionaries>\n";
    text += u"  <notices><notice dept=\"0101\" user=\"\">本周五下午科室业务学习</notice></notices>\n";
    text += u"  <parameters>\n"
            u"    <parameter name=\"inpatient_commit_timeout\">72;1</parameter>\n"
            u"    <parameter name=\"inrollbackpatient_commit_timeout\">48</parameter>\n"
            u"  </parameters>\n";
  }
  return ToUtf8(text + u"</suite>\n");
}

bool WriteSuiteConfig(const std::string& directory, const std::string& init_string,
                      bool sample_hospital) {
  const std::filesystem::path config = std::filesystem::path(directory) / kSuiteConfigFile;
  if (std::filesystem::exists(config)) return false;
  if (sample_hospital) {
    const std::filesystem::path visits = std::filesystem::path(directory) / kVisitsFolder;
    MakeFolder(visits);
    for (const SampleVisit& visit : kVisits) {
      const std::filesystem::path patient = visits / ToUtf8(visit.patient_id);
      MakeFolder(patient);
      WriteFile(patient / (ToUtf8(visit.event_no) + ".xml"), ToUtf8(VisitText(visit)));
    }
  }
  WriteFile(config, SuiteConfigText(init_string, sample_hospital));
  return true;
}

}  // namespace korvalis::suite
