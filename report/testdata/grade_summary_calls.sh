#!/bin/sh
# The grade summaries, the summary generation and the self-grade table of QCGradeSummary through
# `korvalis call` on a fresh sample database:
#   grade_summary_calls.sh KORVALIS_COMMAND PRODUCT_LIBRARY SUITE_LIBRARY
# Each answer is printed after its method's name and must hold what the sample shows. Ends with
# GRADE_SUMMARY_CALLS_OK.
calls_directory=grade_summary_calls
calls_class=QCGradeSummary
. "$(dirname "$0")/../../tools/testing/sample_calls.sh"

task=7f1d2c3b-0001-4a5b-8c6d-000000000001
summary=c4d5e6f7-0001-4a2b-8c3d-000000000001

# The cardiology task with the sample template: two visits, one of them graded 甲级 with two
# deductions, and its grader's opinion.
call GenerateSummary "<root><task_id>$task</task_id><dept_name>心血管内科</dept_name></root>" 1
expect '<H2>心血管内科环节质控总结</H2>' '抽查病历 2 份: 甲级 1 份' '<TD>SX002</TD>' '<TD>BC001</TD>' \
  '<TD>李建华</TD>' '<TD>96</TD>' '1. 本周环节病历书写基本及时'
call GetSummaryTemplateList '<root/>' -- GetXslContent 1
expect '>环节质控总结</item>' '<xsl:for-each select="error_list/error_item">'
call GetSummaryList "<root><task_id>0001-4a5b;none</task_id></root>" -- GetDetailData '<root/>'
expect "id=\"$summary\"" '>周总结</item>'

# The generated HTML stored as the summary's content and read back.
html=$("$korvalis" call QCGradeSummary GenerateSummary "<root><task_id>$task</task_id></root>" 1)
call SaveContent "$summary" "$html" -- GetHtmlContent "$summary"
expect '<TD>王秀兰</TD>'

# A new template with its style sheet, a summary of it, changed and removed.
call NewSummaryTemplate '<root><name>终末质控总结</name><creator>韩志强</creator><create_date>2026-12-07 10:00:00</create_date><sort_code>002</sort_code><type>2</type></root>'
expect '2'
call SaveXslContent 2 '<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"><xsl:output method="text"/><xsl:template match="/root">visits: <xsl:value-of select="head/@emr_count"/></xsl:template></xsl:stylesheet>' \
  -- ModifySummaryTemplate '<root><id>2</id><sort_code>000</sort_code></root>' \
  -- GetSummaryTemplateList '<root><creator_id>韩志强</creator_id></root>' \
  -- GenerateSummary '<root/>' 2
expect '<root><item create_date="2026-12-07" creator_id="韩志强" id="2" sort_code="000" type="2">' \
  'visits: 4'
call NewSummary "<root><title>O'Brien 终末总结</title><template_id>2</template_id><type>2</type><task_id>t-9</task_id></root>"
new_summary=$answer
call ModifySummary "<root><id>$new_summary</id><report_status>1</report_status></root>" \
  -- GetSummaryList '<root><report_status>1</report_status></root>' \
  -- RemoveSummary "<root><task_id>t-9</task_id></root>" \
  -- GetSummaryList '<root><report_status>1</report_status></root>'
expect "title=\"O'Brien 终末总结\"" '<root/>'

# The self-grade form of template 12 for the visit, with two deductions.
call GenerateSelfGradeTable "<root><patient_id>P0001</patient_id><event_no>2026120101</event_no><class>2</class><item parents_id='1' deduct='2' veto='2'>首次病程记录延迟</item><item parents_id='/3' deduct='0.2'>缺主治医师意见</item></root>" 12
expect '<SPAN name=1 value=score>18</SPAN>' '<SPAN name=3 value=score>29.8</SPAN>' \
  '<SPAN name=total value=deduct>2.2</SPAN>' '<SPAN id=class>乙级</SPAN>' \
  '<DIV id=veto_detail><P>首次病程记录延迟</P></DIV>'

# A bare value that is no number is refused before any statement.
if "$korvalis" call QCGradeSummary RemoveSummary '<root><type>1 OR 1=1</type></root>' 2>&1; then
  exit 1
fi
echo GRADE_SUMMARY_CALLS_OK
