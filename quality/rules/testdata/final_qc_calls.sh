#!/bin/sh
# The final QC methods through `korvalis call` on a fresh sample database:
#   final_qc_calls.sh KORVALIS_COMMAND PRODUCT_LIBRARY SUITE_LIBRARY
# Every call must answer as the sample shows it; each answer is printed after its method's name.
# Ends with FINAL_QC_CALLS_OK.
calls_directory=final_qc_calls
calls_class=TerminalQCPatient
. "$(dirname "$0")/../../../tools/testing/sample_calls.sh"

officer="<root><user id='9001'>韩志强</user><dept id='0601'>质控科</dept></root>"
november="<begin_date>2026-11-01</begin_date><end_date>2026-11-30</end_date>"

# One discharged visit of each department drawn, those of task 1 marked.
call SearchPatient "<root>$november<task_id>1</task_id><patient_per_dept>1</patient_per_dept><dept_id>0102,0202</dept_id></root>"
expect 'dept_id="0102"' 'id="P0006"' 'dept_id="0202"' 'id="P0007"' 'task_id="1"'
# The same draw for the empty task 2, assigned to it: its department list fills.
call SearchPatient "<root>$november<task_id>2</task_id><patient_per_dept>1</patient_per_dept><dept_id>0102,0202</dept_id></root>"
expect 'id="P0006"' 'task_id=""'
call ManagePatient "<root><dept id='0102' name='呼吸内科' task_id='2'><patient id='P0006' event='2026111001' status='1'/></dept><dept id='0202' name='骨科' task_id='2'><patient id='P0007' event='2026110501' status='1'/></dept></root>" "$officer" -- GetDeptList 2
expect 'count="1"' 'internal="3"' 'internal="4"' 'score=""' '>呼吸内科</dept>' '>骨科</dept>'
# Both visits scored: the counts and the grouped list show it.
call ScorePatient P0006 2026111001 "<root><score>97</score><grade>1</grade><dept_internal>3</dept_internal><item item_id='8' score='3' serial='1' note='' item_count='1'/></root>" "$officer" -- ScorePatient P0007 2026110501 "<root><score>80</score><grade>2</grade><dept_internal>4</dept_internal></root>" "$officer" -- GetDeptList 2 -- GetPatientList 2 -- GetPatientScore 2 P0006 2026111001
expect 'grade_b="1"' 'scored="1"' 'scored="0"' '<dept_internal>3</dept_internal><score>97</score><grade>1</grade></root>'
refused GetPatientScore 2 P0010 2026102001
expect '病人未添加到终末质控任务'
refused SearchPatient "<root>$november<task_id>2</task_id><patient_per_dept>10; DROP</patient_per_dept></root>"
expect "不是有效的数字: '10; DROP' (patient_per_dept)"
"$korvalis" sql --no-feedback "SELECT ID, STATUS FROM PEV_TASK_RECORD ORDER BY ID"
echo FINAL_QC_CALLS_OK
