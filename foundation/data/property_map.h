// CPropertyMap writes a property bag into a table row: the mapping named at construction
// (a MAP_NAME of TELV_PROPERTY_MAP) turns each property name into a column and says how its
// value is written: TYPE "string" between single quotes (quotes doubled), "date" through the
// dialect's date conversion, anything else bare, which the value must then be a number for.
// An empty value is written as NULL whatever the type.
//
// The mappings are read into a process-wide cache the first time the table has rows, and
// kept for the life of the process: a property newly mapped in the table is seen after a
// restart. Within one MAP_NAME, the first row of a repeated PROPERTY wins.
//
// Thread-safety: the table is read without holding the cache (the query may wait for another
// call's write lock); the first complete load is stored under a lock and only read afterwards.
// A CPropertyMap belongs to one thread.
#pragma once

#include <map>
#include <string>

class CPropertyMap {
 public:
  struct FieldInfo {
    std::u16string field;
    std::u16string type;
    std::u16string notes;
  };
  using Properties = std::map<std::u16string, std::u16string>;

  // Loads the mappings when the cache is empty; a database failure propagates.
  explicit CPropertyMap(const std::u16string& map_name);
  virtual ~CPropertyMap();

  // Fills the process-wide cache when it is empty, through a CEMRDataSource.
  void LoadMappings();

  // "UPDATE <table> SET F1 = v1,F2 = v2" followed by `condition` unchanged (callers pass
  // " WHERE ..."). Throws CEMRException "没有属性列表, 无法生成Update SQL." for no properties,
  // "更新条件为空, 拒绝更新全表." for an empty condition, "没有找到映射名: " + name,
  // "没有找到属性名: " + property, and "属性值不是数字: " + property for a bare value that is
  // not a number.
  std::u16string BuildUpdateSql(const std::u16string& table, const Properties& properties,
                                const std::u16string& condition);
  // "INSERT INTO <table>(F1,F2) VALUES (v1,v2)"; throws as BuildUpdateSql ("...Insert SQL.").
  std::u16string BuildInsertSql(const std::u16string& table, const Properties& properties);

  // The mapping's fields by property name; throws "没有找到映射名: " + name when absent.
  const std::map<std::u16string, FieldInfo>& Fields() const;

 private:
  // The value as the column's type writes it.
  std::u16string SqlValue(const std::u16string& property, const FieldInfo& field,
                          const std::u16string& value);

  std::u16string map_name_;
};
