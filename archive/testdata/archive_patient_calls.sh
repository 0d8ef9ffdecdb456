#!/bin/sh
# Every method of ArchivePatient through `korvalis call` on a fresh sample database:
#   archive_patient_calls.sh KORVALIS_COMMAND PRODUCT_LIBRARY SUITE_LIBRARY
# Every call must answer as the sample shows it; each answer is printed after its method's name.
# Ends with ARCHIVE_PATIENT_CALLS_OK.
calls_directory=archive_patient_calls
calls_class=ArchivePatient
. "$(dirname "$0")/../../tools/testing/sample_calls.sh"

# The patient lists and the search.
call GetInPatientList 0101 2026-11-01 2027-01-01
expect 'eventno="2026120101"' 'eventno="2026120301"'
call GetAllInPatientList 2026-11-01 2027-01-01
expect 'eventno="2026120201"' 'eventno="2026112801"'
call GetLeavePatientList 0401 2026-11-01 2027-01-01
expect 'eventno="2026110301"'
call GetAllLeavePatientList 2026-11-01 2027-01-01
expect 'eventno="2026110301"'
call GetToCommitPatient 0201
expect 'eventno="2026120201"'
call GetAllToCommitPatient 2026-11-01 2027-01-01
expect '<root'
call GetCommitedPatient '<root/>'
expect 'eventno="2026110501"'
call GetAllCommitedPatient 2026-11-01 2027-01-01
expect 'eventno="2026111501"'
call GetUncodedPatient 0201
expect '<root'
call GetAllUncodedPatient 2026-11-01 2027-01-01
expect '<root'
call GetPreCommitPatient '<root/>'
expect '<root'
call GetAllPreCommitPatient 2026-11-01 2027-01-01
expect '<root'
call SearchPatient '<root><name>李</name></root>'
expect 'eventno="2026120101"'

# The front page: its document, and its coded diagnoses replaced (the operations kept).
call GetPatientHeaderEmrList P0006 2026111001
expect '<emrid emr_title="病案首页" template_id="1">5e3a9c10-0015-4c6b-9d2e-000000000015</emrid>'
call SavePatientHeaderRecord P0006 2026111001 "<root><diagnosis><d type='3' icd='J18.9' result='1'>社区获得性肺炎</d><d type='2' icd='J44.1' result='2'>慢阻肺</d></diagnosis></root>"
answer=$("$korvalis" sql --no-feedback "SELECT SUB_ID, ICD_NAME FROM TELV_INPATIENT_HEADER_DIAG WHERE EVENT_NO = '2026111001' ORDER BY SUB_ID")
expect '1	社区获得性肺炎' '2	慢阻肺'

# Batch printing: the catalogues of P0001's visit, the admission record with its two signers.
call GetEmrBatchPrintCatalogList P0001 2026120101
expect '<catalog code="002" id="2" serial="0" sort_code="2">入院记录</catalog>'
call GetEmrBatchPrintList P0001 2026120101 2
expect 'id="5e3a9c10-0001-4c6b-9d2e-000000000001"' 'signature="刘静怡/陈浩然"' '>入院记录</emr>'

# The copies: a second copy of P0006's visit, updated, listed, deleted.
entry="<patient_id>P0006</patient_id><event_no>2026111001</event_no><record_type>0</record_type><requestor>杨丽</requestor><executor>马丽华</executor>"
call SaveCopiedPatient "<root>$entry</root>"
expect 2
call SaveCopiedPatient "<root>$entry<serial>2</serial><reason>复查</reason></root>" -- GetCopiedPatientList '<root><event_no>2026111001</event_no></root>'
expect 'copy_reason="复查"' 'serial="2"' 'copy_reason="医保报销"'
call DeleteCopyRecord P0006 2026111001 2 -- GetCopiedPatientList '<root/>'
expect 'event_no="Z2019001"' 'serial="1"'
printf '%s' "$answer" | grep -qF 'serial="2"' && { echo "not deleted"; exit 1; }

# Sealed visits, the record check and the checker's copy of P0006's front sheet.
call GetFreezePatient '<root/>'
expect 'eventno="2026102001"' 'id="P0010"' 'lockername="马丽华"'
call GetCheckPatientList '<root><dept_id>0102</dept_id></root>'
expect 'emr_copy="1" event_no="2026111001"'
info='<root><emr_id>5e3a9c10-0015-4c6b-9d2e-000000000015</emr_id><patient_id>P0006</patient_id><event_no>2026111001</event_no></root>'
call GetCheckEMR "$info" "" --out sheet.bin
call SaveCheckEMR "$info" --bytes sheet.bin "" "<root><user id='9003'>马丽华</user></root>" -- GetCheckEMR "$info" "" --out copy.bin
cmp sheet.bin copy.bin
answer=$("$korvalis" sql --no-feedback "SELECT CHECKER, CHECKER_ID FROM TELV_CHECK_EMR_CONTENT")
expect '马丽华	9003'

# The paper check-in: P0007's discharged visit with the newest of its three flow entries.
call SearchCheckinPatient '<root/>'
expect 'event_no="2026110501"' 'oper_memo="已补手术记录"' 'serial_no="3"'
echo ARCHIVE_PATIENT_CALLS_OK
