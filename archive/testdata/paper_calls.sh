#!/bin/sh
# The paper-record methods through `korvalis call` on a fresh sample database:
#   paper_calls.sh KORVALIS_COMMAND PRODUCT_LIBRARY SUITE_LIBRARY
# Every call must answer as the sample shows it; each answer is printed after its method's name.
# Ends with PAPER_CALLS_OK.
calls_directory=paper_calls
calls_class=PatientPaperMag
. "$(dirname "$0")/../../tools/testing/sample_calls.sh"

clerk="<root><user id='9003'>马丽华</user></root>"
# visit PATIENT_ID: the search's condition for one patient.
visit() { printf '<root><patient_id>%s</patient_id></root>' "$1"; }

# The committed sample visit appears with its log values, beside the latest rows of the others.
call CommitPaperCase "<root><patient id='P0011' event_no='2026111201' commit_serial='1' paper_status='0'/></root>" "$clerk" -- SearchPatientPMRList "<root/>"
expect 'commit_oper_id="9003" commit_oper_name="马丽华" commit_serial="1"' \
  'event_no="2026111201" id="P0011"' \
  'checkin_oper_name="马丽华" commit_date="2026-11-05 09:00:00" commit_memo="补出院小结"' \
  'rollback_memo="出院记录缺主治医师签名"'
# P0007 is committed: returned, committed again, signed in, and the sign-in cancelled.
call RollbackPaperCase "<root><patient_id>P0007</patient_id><event_no>2026110501</event_no><serial>1</serial><rollback_memo>缺手术记录</rollback_memo></root>" "$clerk" -- SearchPatientPMRList "$(visit P0007)"
expect 'paper_status="2"' 'rollback_memo="缺手术记录" rollback_oper_id="9003" rollback_oper_name="马丽华"'
call CommitPaperCase "<root><patient id='P0007' event_no='2026110501' paper_status='2' commit_memo='已补'/></root>" "$clerk" -- CheckinPaperCase "<root><patient_id>P0007</patient_id><event_no>2026110501</event_no><serial>2</serial><checkin_memo>完整</checkin_memo></root>" "$clerk" -- SearchPatientPMRList "$(visit P0007)"
expect 'checkin_memo="完整"' 'commit_memo="已补" commit_oper_id="9003"' 'commit_serial="2"' \
  'paper_status="3"' 'serial="2"'
call CancelCommitPaper "<root><patient id='P0007' event_no='2026110501'/></root>" -- SearchPatientPMRList "$(visit P0007)"
expect 'paper_status="1"' 'rollback_memo="缺手术记录"' 'serial="1"'
# Refusals: a return outside state 1, a state list that is not one of numbers.
refused RollbackPaperCase "<root><patient_id>P0006</patient_id><event_no>2026111001</event_no><serial>1</serial></root>" "$clerk"
expect '纸质病历退回记录出错！'
refused SearchPatientPMRList "<root><paper_status>1) OR (1=1</paper_status></root>"
expect "不是有效的数字: '1) OR (1=1' (paper_status)"
echo PAPER_CALLS_OK
