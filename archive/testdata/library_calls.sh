#!/bin/sh
# The record library's search methods through `korvalis call` on a fresh sample database:
#   library_calls.sh KORVALIS_COMMAND PRODUCT_LIBRARY SUITE_LIBRARY
# Every call must answer, and the answers must hold what the sample shows; each answer is
# printed after its method's name. Ends with LIBRARY_CALLS_OK.
calls_directory=library_calls
calls_class=EMRLibrary
. "$(dirname "$0")/../../tools/testing/sample_calls.sh"

# The two records of P0006's archived visit, and the sentinel with their number.
call FullSearch 肺炎 1 20
expect 'id="5e3a9c10-0013-4c6b-9d2e-000000000013"' 'id="5e3a9c10-0014-4c6b-9d2e-000000000014"' \
  'id="0" in_dept_name="0" in_time="2007-07-07 00:00:00" out_time="2007-07-07 00:00:00" patient_id="0" patient_name="0" rownum="2"'
call IsPass zhangmy 123456
expect true
call IsPass zhangmy 654321
expect false
call FullSearch2 '<root><clause type="STRING" relation="$" right="丽" logic="AND">b.name</clause></root>' 出院 1 20
expect '>出院记录</emr>' 'rownum="1">0</emr>'
call PathSearch '<root/>' '<root><catalogid>10</catalogid><clause path="/root/outcome" relation="=" logic="AND">治愈</clause></root>' 1 20
expect '>出院记录</emr>'
call SingleSearch P0006
expect '>病案首页</emr>' '>入院记录</emr>' '>出院记录</emr>'
call GetPathValue 5e3a9c10-0013-4c6b-9d2e-000000000013 '<root><path>/root/complaint</path></root>'
expect '<value>&lt;complaint&gt;发热、咳嗽5天&lt;/complaint&gt;</value>'
call GetConditionList
expect 'field="B.NAME"'
call GetOperatorList DATE
expect '<oper name="早于">lt</oper>'
call GetUserList
expect 'code="zhangmy"' 'code="malh"'
call GetXmlFrameList
expect '>入院记录检索</frame>' '>出院记录检索</frame>'
call GetXmlFrameProperty 2
expect 'id="2"'
call SaveXmlFrameProperty 0 '<root><pro catalog="病案首页" catalogid="1" notes="">首页检索</pro></root>' -- SaveXmlFrameContent 3 '<frame/>' -- DeleteXmlFrame 3 -- GetXmlFrameContent 3
expect 3 '<frame/>'
call SaveConditionList '<root><cdt field="B.NAME" type="STRING">病人姓名</cdt></root>' -- GetConditionList
expect '<root><cdt dict="" field="B.NAME" notes="" type="STRING">病人姓名</cdt></root>'
call SaveOperatorList '<root><oper type="STRING" name="等于">=</oper></root>' -- GetOperatorList STRING
expect '<root><oper name="等于">=</oper></root>'
call SaveUserList '<root><user code="zhangmy" pwd="" prv="1">张明远</user></root>' -- GetUserList
expect '<root><user code="zhangmy" prv="1" pwd="">张明远</user></root>'
echo LIBRARY_CALLS_OK
