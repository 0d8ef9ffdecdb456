#!/bin/sh
# The menus of FunctionAdmin and the watched list of MonitorService through `korvalis call` on a
# fresh sample database:
#   menu_monitor_calls.sh KORVALIS_COMMAND PRODUCT_LIBRARY SUITE_LIBRARY
# Each answer is printed after its method's name and must hold what the sample shows. Ends with
# MENU_MONITOR_CALLS_OK.
calls_directory=menu_monitor_calls
calls_class=FunctionAdmin
. "$(dirname "$0")/../../tools/testing/sample_calls.sh"

quality=a0b1c2d3-0001-4e5f-8a9b-000000000001
writing=a0b1c2d3-0004-4e5f-8a9b-000000000004

# Every placing of every group, configurable items and fixed functions alike.
call GetGroupMenu '<root/>'
expect "fixed_name=\"书写病历\" group_name=\"病历书写\" menu_id=\"FN_EMR_WRITE\" notes=\"打开病历编辑器\"" \
  "dynamic_name=\"科室在院病人一览\"" "dynamic_name=\"超时完成的时限规则\"" \
  "menu_id=\"FN_QC_TASK\""
call GetFunctionConfig "<root><group_id>$quality</group_id></root>"
expect '>科室在院病人一览</item>' '>出院病人查询</item>'

# A new group of the QC application takes its next place (the sample has three) and answers its
# identifier; a new item joins it at place 1; the fixed function of the writing group moves there.
call SetFunctionGroup '<root><name>归档统计</name><parent_id>###</parent_id><app_id>3</app_id><app_name>pirundel</app_name></root>'
group=$answer
printf '%s' "$group" | grep -qE '^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$'
call SetFunctionConfig "<root><new>1</new><id>menu-archive-rate</id><name>O'Neil 归档率</name><type>2</type><report_id>3</report_id><group_id>$group</group_id></root>" \
  -- SetFunctionConfig "<root><group>1</group><id>FN_EMR_WRITE</id><group_id>$group</group_id></root>" \
  -- GetGroupMenu "<root><group_id>$group</group_id></root>"
expect "dynamic_name=\"O'Neil 归档率\"" "menu_id=\"menu-archive-rate\"" "menu_id=\"FN_EMR_WRITE\""
call GetFunctionConfig '<root><id>menu-archive-rate</id></root>'
expect "group_name=\"归档统计\"" ">O'Neil 归档率</item>"
# Deleting the group sends its entries to "####"; the item then goes altogether.
call DelFunctionGroup "<root><id>$group</id></root>" -- GetGroupMenu '<root><group_id>####</group_id></root>'
expect "menu_id=\"FN_EMR_WRITE\"" "menu_id=\"menu-archive-rate\""
call DelFunctionConfig '<root><id>menu-archive-rate</id></root>' -- GetFunctionConfig '<root><id>menu-archive-rate</id></root>'
expect '<root/>'
# A type that is no number is refused before anything is written.
if "$korvalis" call FunctionAdmin SetFunctionConfig "<root><new>1</new><id>x</id><name>x</name><type>2)--</type></root>" 2>&1; then exit 1; fi

calls_class=MonitorService
call GetServiceList '<root/>'
expect '<name path="-" type="0">cron</name>' '>korvalis-archive-export</name>' \
  '<name path="-" type="2">病历归档服务</name>'
call AddServiceList '<root><name>rsyslog</name><path>-</path><type>0</type></root>' \
  -- GetServiceList '<root><type>0</type></root>'
expect '>cron</name>' '>rsyslog</name>'
call DeleteServiceList '<root><name>rsyslog</name><path>-</path><type>0</type></root>' \
  -- GetServiceList '<root><name>rsyslog</name></root>'
expect '<root/>'
# The first call of a process only counts: nothing is checked or started.
call MonitorService
[ -z "$answer" ]
echo MENU_MONITOR_CALLS_OK
