#!/bin/sh
# The department QC methods through `korvalis call` on a fresh sample database:
#   dept_qc_calls.sh KORVALIS_COMMAND PRODUCT_LIBRARY SUITE_LIBRARY
# Every call must answer as the sample shows it; each answer is printed after its method's name.
# Ends with DEPT_QC_CALLS_OK.
calls_directory=dept_qc_calls
calls_class=DeptQCPatient
. "$(dirname "$0")/../../../tools/testing/sample_calls.sh"

officer="<root><user id='9002'>杨慧敏</user><dept id='0101'>心血管内科</dept></root>"

# The sample's scored visit with its two deductions.
call GetPatientScore P0001 2026120101
expect '<score>96</score><grade>1</grade><status>2</status><qc_user>杨慧敏</qc_user><qc_date>2026-12-04 15:00:00</qc_date></root>' \
  '>病程记录未体现上级医师查房意见</item>' '>主诉与现病史描述不符</item>' 'score="2"'
# The QC report of that visit: a record of the result template, signed by the QC user, then
# rewritten by the next report, which leaves the passed record id as it was.
call GenerateQCReport P0001 2026120101 "$officer" "" --out report.bin
expect 'pbstrReportID='
call GenerateQCReport P0001 2026120101 "$officer" "kept" --out report.bin
expect 'pbstrReportID=kept'
answer=$("$korvalis" sql --no-feedback "SELECT C.TITLE, C.KEYWORD, S.NAME, S.SIGN_TYPE FROM TELV_EMR_CONTENT C, TELV_EMR_SIGNATURE S WHERE C.TEMPLATE_ID = 10 AND S.ID = C.ID")
printf 'report record:\n%s\n' "$answer"
expect '科室质控结果	检验检查报告单	杨慧敏	0'
# P0004 is added (0), found there (1), scored, verified, listed and its verification cancelled.
call AddQCPatient P0004 2026120601 "$officer"
expect 0
call AddQCPatient P0004 2026120601 "$officer"
expect 1
call ScorePatient P0004 2026120601 "<root><score>95.5</score><grade>1</grade><item item_id='5' score='2.5' serial='1' note='现病史未记录诱因' emr_id='' emr_title='入院记录' item_count='1'/><item item_id='7' score='2' serial='2' note='' item_count='1'/></root>" "$officer" -- GetPatientScore P0004 2026120601
expect '<score>95.5</score><grade>1</grade><status>2</status><qc_user>杨慧敏</qc_user>' \
  'score="2.5"' 'item_point="1"' '>主诉与现病史描述不符</item>'
call VerifyPatientScore P0004 2026120601 0 -- GetQCPatient "<root><dept>0101</dept><status>3</status></root>"
expect '<patient ' 'id="P0004"' 'score="95.5"' 'status="3"' '>刘芳</patient>'
call VerifyPatientScore P0004 2026120601 -1 -- RemoveQCPatient P0004 2026120601 "$officer" -- GetQCPatient "<root><dept>0101</dept><status>0</status></root>"
expect 'id="P0004"' 'status="0"'
refused VerifyPatientScore P0004 2026120601 0
expect '病人未评分不允许审核.'
refused GetQCPatient "<root><dept>0101</dept><status>1) OR (1=1</status></root>"
expect "不是有效的数字: '1) OR (1=1' (status)"
refused ScorePatient P0004 2026120601 "<root><grade>1</grade></root>" "$officer"
expect '评分信息中没有总分(score).'
echo DEPT_QC_CALLS_OK
