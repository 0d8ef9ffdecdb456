#!/bin/sh
# The EMR dictionaries and the archive report's lists through `korvalis call` on a fresh sample
# database:
#   dictionary_calls.sh KORVALIS_COMMAND PRODUCT_LIBRARY SUITE_LIBRARY
# Every method of EMRDictT and ArchiveReport must answer, and the answers must hold what the
# sample shows; each answer is printed after its method's name. A dictionary of the HIS reads a
# second database named by "kesh.config.xml". Ends with DICTIONARY_CALLS_OK.
calls_directory=dictionary_calls
calls_class=EMRDictT
. "$(dirname "$0")/../../tools/testing/sample_calls.sh"

# The HIS: a database of its own with a department table, configured as kind "kesh".
mkdir his_db && (cd his_db && "$korvalis" initdb his.db >/dev/null)
"$korvalis" sql --db his_db/his.db >/dev/null <<'SQL'
CREATE TABLE HIS_DEPT (CODE VARCHAR2(10), NAME VARCHAR2(40));
INSERT INTO HIS_DEPT (CODE, NAME) VALUES ('H01', 'HIS急诊科');
SQL
cp his_db/telv.config.xml kesh.config.xml
sed -i 's|</config>|  <his>kesh</his>\n</config>|' telv.config.xml

call GetDictList
expect '<dict remark="在职医生及其职称">医生</dict>' '<dict remark="有病人在院的科室">在院科室</dict>'
call GetDataList 医生
expect 'filter="VALID_FLAG='"'1'"' AND' '<items><item ID="1001" NAME="张明远" TITLE_ID="13"/>' \
  '<item ID="1051" NAME="许晨阳" TITLE_ID="11"/></items></dict>'
call GetDataList 在院科室
expect '<item NOW_DEPT_ID="0101" NOW_DEPT_NAME="心血管内科"/>'
call GetDictByDictName 医生
expect '<root><dict remark="在职医生及其职称">医生</dict></root>'
call NewDict '<root><name>HIS科室</name><remark>HIS的科室</remark></root>' \
  -- SetDictContent HIS科室 '<dict><table source="kesh" name="HIS_DEPT"/><column field="CODE"/><column field="NAME"/></dict>' \
  -- GetDictContent HIS科室 -- GetDataList HIS科室
expect '<items><item CODE="H01" NAME="HIS急诊科"/></items>'
call SetDictName '<root><original_name>HIS科室</original_name><new_name>急诊</new_name><remark>改名</remark></root>' \
  -- GetDictByDictName 急诊
expect '<dict remark="改名">急诊</dict>'
call DeleteDictByName 急诊 -- GetDictList
expect '医生' '在院科室'
if printf '%s' "$answer" | grep -qF '急诊'; then echo "not deleted"; exit 1; fi
if "$korvalis" call EMRDictT GetDictContent 无此字典 2>err.txt; then echo "no failure"; exit 1; fi
grep -qF '没有相关的字典!' err.txt

calls_class=ArchiveReport
call GetInDeptList
expect '<dept id="0101" hospital="H01">心血管内科</dept>' '<dept id="0401" hospital="H01">儿科</dept>'
call GetWriterInfoList 2026-11-01 2027-01-01 '$00000$' 9
expect 'deptname="骨科"' 'techtitlename="主治医师"' '>郑立新</writer>'
call GetWriterInfoList 2026-13-01 2027-01-01 '$00000$' 9
expect '<root/>'
call Init x -- GetTimeOutWriteList 0101 1 -- GetTimeOutUnwriteList 2026-11-01 2027-01-01 0101
echo DICTIONARY_CALLS_OK
