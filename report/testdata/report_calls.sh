#!/bin/sh
# The distribution, export and import of EMRReport through `korvalis call` on a fresh sample
# database:
#   report_calls.sh KORVALIS_COMMAND PRODUCT_LIBRARY SUITE_LIBRARY
# Each answer is printed after its method's name and must hold what the sample shows. Ends with
# REPORT_CALLS_OK.
calls_directory=report_calls
calls_class=EMRReport
. "$(dirname "$0")/../../tools/testing/sample_calls.sh"

# Sample report 1 is new-format: version 2, its values in Base64.
call ExportReport 1
expect '<root><new_format>1</new_format><property>' '</property><sql>' '</sql><sql_param>' \
  '</sql_param><xslt>' '</xslt></root>'
# The sample gives report 1 to 马丽华 (9003) and 刘静怡 (1002).
call GetUserReport 9003 0
expect 'id="1"' '>科室在院病人一览</report>'
call GetUserCatalog 9003 0
expect '<catalog code="001" id="1" note="" parent="###" sort="1">病案统计</catalog>'
call GetAllDistributedUserList 1
expect '<user id="9003" py="MALH" sex="女" wb="">马丽华</user>' \
  '<user id="1002" py="LIUJY" sex="女" wb="">刘静怡</user>'
call DistributeReportToUser '<reportList><report id="2"><user id="1002"/></report></reportList>' \
  -- GetAllDistributedUserList 2 -- DistributeReport 1002 '<list><report id="2"/></list>' \
  -- GetUserReport 1002 3
expect '<root><user id="1002" py="LIUJY" sex="女" wb="">刘静怡</user></root>' \
  '>超时完成的时限规则</report>'
# The old-format report 3 goes out to a file as UTF-8 text and back into report 2.
call ExportReport 3 --out report3.xml
call ImportReport 2 @report3.xml -- IsNewFormat 2 -- GetSQLProperty 2
expect '<note>导入的旧格式报表: 按当前科室列出在院病人</note>' 'false' 'patient,event_no,bed,doctor,in_time'
[ "$("$korvalis" call EMRReport GetReportSQL 2)" = "$("$korvalis" call EMRReport GetReportSQL 3)" ]
# A document that is no report document is refused; GetReportDict is not offered.
if "$korvalis" call EMRReport ImportReport 2 '<root><sql>' 2>&1; then exit 1; fi
if "$korvalis" call EMRReport GetReportDict x 2>&1; then exit 1; fi
echo REPORT_CALLS_OK
