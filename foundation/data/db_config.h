// The database configuration file: an XML document with exactly one element `db`, whose first
// direct child element `datasource` holds the initialisation string of the database as text:
//
//   <config><db><datasource dbtype="oracle" encrypt="">Provider=...;Data
//   Source=...</datasource></db></config>
//
// `dbtype` names the SQL dialect ("oracle", "Oracle" or "ORACLE" select Oracle). A non-empty
// `encrypt` holds the decimal number of the encryption codec and the text is then the Base64
// form of the UTF-16LE initialisation string encrypted by that codec. The system's own file
// ("telv.config.xml") also names the kind of the hospital information system in one element
// `his`:
//
//   <config><db>...</db><his>kesh</his></config>
//
// Thread-safety: free functions without shared state; each call reads the file afresh.
#pragma once

#include <optional>
#include <string>

// The file every method call's data source reads, opened by this bare name (relative to the
// current directory of the host process).
inline constexpr char16_t kEMRConfigFileName[] = u"telv.config.xml";

// The initialisation string of `file`: the text of `datasource`, decrypted when `encrypt` says
// so; empty when `db` has no `datasource`.
// Throws CEMRException "获取数据库配置信息错误. 配置文件: " + file when the file cannot be read or
// parsed or does not hold exactly one `db`; the codec factory's "不正确的加密类型" for an
// encryption number outside its table (or one that is not a number), and the Base64 codec's
// failure for a damaged text.
std::u16string ReadDBConfig(const std::u16string& file);

// The `dbtype` attribute of `file`'s `datasource` (empty when the attribute is absent), or
// nothing when `db` has no `datasource`. Throws as ReadDBConfig for a bad file.
std::optional<std::u16string> ReadDBTypeName(const std::u16string& file);

// The kind of the hospital information system: the text of the one element `his` of `file`
// (at any depth; "kesh" names a HIS whose dictionaries are read through "kesh.config.xml", any
// other text one read through "didu.config.xml"). Throws CEMRException
// "获取数据库配置信息错误. 配置文件: " + file when the file cannot be read or parsed or does not
// hold exactly one `his`.
std::u16string ReadHisKind(const std::u16string& file);

// True for the three spellings that select the Oracle dialect.
bool IsOracleTypeName(const std::u16string& name);
