#!/bin/sh
# The road of clinical events and the content QC findings through `korvalis call` on a fresh
# sample database, as docs/classes.md shows them:
#   event_road_calls.sh KORVALIS_COMMAND PRODUCT_LIBRARY SUITE_LIBRARY
# An admission of the sample visit P0004 2026120601 registered, listed and handed to the event
# trigger, which opens the sample's admission rules 1, 2 and 5 and archives the event; a transfer
# registered and unregistered by its keys; the quality trigger's methods on the sample visits; the content QC findings of the sample's front
# sheet listed, counted sent and cleared. Ends with EVENT_ROAD_CALLS_OK.
calls_directory=event_road_calls
calls_class=EventRegister
. "$(dirname "$0")/../../../tools/testing/sample_calls.sh"

# sql STATEMENT: its rows in $answer, printed.
sql() {
  answer=$("$korvalis" sql --no-feedback "$1")
  printf '%s\n' "$answer"
}
# exactly TEXT: the answer is the text, else exit 1.
exactly() {
  [ "$answer" = "$1" ] || { echo "expected: $1"; exit 1; }
}
tab=$(printf '\t')

event="<root><code>A01</code><src_sys>1</src_sys><patient_id>P0004</patient_id><event_no>2026120601</event_no><time>2026-12-06 10:45:00</time><type>0</type><extend><user_id>1003</user_id></extend></root>"
call RegisterEvent "$event"
expect OK
call GetRegisterEventList ""
expect '<event code="A01" create_time="2026-12-06 10:45:00" event_no="2026120601"' \
  'extend_info="&lt;user_id>1003&lt;/user_id>" patient_id="P0004"'
id=$(printf '%s' "$answer" | sed 's/.*">\([0-9a-f-]*\)<\/event>.*/\1/')
calls_class=EventTrigger
call OnSysEvent "<root><id>$id</id>${event#<root>}"
sql "SELECT RULE_ID, START_TIME, OVER_TIME, STATUS FROM PEV_TIME_RULE_RECORD WHERE PATIENT_ID = 'P0004' ORDER BY SERIAL"
expect "1${tab}2026-12-06 10:45:00${tab}2026-12-07 10:45:00${tab}1" \
  "2${tab}2026-12-06 10:45:00${tab}2026-12-06 18:45:00${tab}1" \
  "5${tab}2026-12-06 10:45:00${tab}2026-12-08 10:45:00${tab}1"
sql "SELECT COUNT(*) FROM TELV_REGISTER_EVENT_RECORD WHERE ID = '$id'"
exactly "COUNT(*)
1"

# A transfer registered through the second entry, then taken out of the queue by its five keys
# unhandled; the event trigger's second method does nothing.
transfer="<root><code>A02</code><src_sys>1</src_sys><patient_id>P0004</patient_id><event_no>2026120601</event_no><time>2026-12-07 08:00:00</time><type>0</type></root>"
calls_class=EventRegister
call RegisterEvent2 "$transfer"
expect OK
call UnRegisterEvent "$transfer"
sql "SELECT EVENT_CODE FROM TELV_REGISTER_EVENT_RECORD ORDER BY EVENT_CODE"
exactly "EVENT_CODE
A01
A02"
sql "SELECT COUNT(*) FROM TELV_REGISTER_EVENT"
exactly "COUNT(*)
0"
calls_class=EventTrigger
call SaveSysEventProperty "<root/>"

# The admission record of P0002 written two hours late closes rule 1; the deletion of its first
# course record reopens rule 2; a rescue of P0004 opens rule 3; Cancel changes nothing.
calls_class=QualityTrigger
call FireClose P0002 2026120301 "<root><code>E03</code><type>1</type><time>2026-12-04 16:30:00</time><extend><emr_type>2</emr_type><emr_id>5e3a9c10-0099-4c6b-9d2e-000000000099</emr_id><user_id>1003</user_id><user_name>陈浩然</user_name></extend></root>"
sql "UPDATE TELV_EMR_CONTENT SET STATUS = 0 WHERE ID = '5e3a9c10-0006-4c6b-9d2e-000000000006'"
call ReFireOpen "<root><code>E05</code><type>2</type><patient_id>P0002</patient_id><event_no>2026120301</event_no><extend><emr_id>5e3a9c10-0006-4c6b-9d2e-000000000006</emr_id></extend></root>"
call FireOpen P0004 2026120601 "<root><code>R01</code><time>2026-12-07 03:00:00</time></root>"
call Cancel P0004 2026120601 1
sql "SELECT PATIENT_ID, RULE_ID, STATUS, OVER_HOUR, REOPEN FROM PEV_TIME_RULE_RECORD WHERE PATIENT_ID = 'P0002' OR RULE_ID = 3 AND PATIENT_ID = 'P0004' ORDER BY PATIENT_ID, SERIAL"
expect "P0002${tab}1${tab}2${tab}2${tab}" \
  "P0002${tab}2${tab}1${tab}0${tab}1" \
  "P0002${tab}5${tab}1${tab}${tab}" \
  "P0004${tab}3${tab}1${tab}${tab}"

calls_class=QCPatient
call GetContentQCInfo "<root><patient_name>杨</patient_name></root>"
expect 'patient_name="杨丽" rule_id="CR001" send_count="1" title="病案首页">主要诊断选择不正确</content>' \
  'rule_id="CR002" send_count="0" title="病案首页">手术操作编码缺失</content>'
call SaveContentQCInfo "<root><emr_id>5e3a9c10-0015-4c6b-9d2e-000000000015</emr_id><send_count>2</send_count></root>"
sql "SELECT RULE_ID, SEND_COUNT FROM PEV_CONTENT_QUALITY ORDER BY RULE_ID"
expect "CR001${tab}2" \
  "CR002${tab}2"
call SaveContentQCInfo "<root><emr_id>5e3a9c10-0015-4c6b-9d2e-000000000015</emr_id></root>"
call GetContentQCInfo "<root/>"
expect "<root/>"
echo EVENT_ROAD_CALLS_OK
