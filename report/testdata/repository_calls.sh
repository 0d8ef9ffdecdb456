#!/bin/sh
# The knowledge-base repository through `korvalis call` on a fresh sample database:
#   repository_calls.sh KORVALIS_COMMAND PRODUCT_LIBRARY SUITE_LIBRARY
# Each of the 19 methods of Repository answers; each answer is printed after its method's name
# and must hold what the sample shows. Ends with REPOSITORY_CALLS_OK.
calls_directory=repository_calls
calls_class=Repository
. "$(dirname "$0")/../../tools/testing/sample_calls.sh"

guides=e4c1a7b2-0101-4d3e-9f6a-000000000101
cardiology=e4c1a7b2-0102-4d3e-9f6a-000000000102
angina=e4c1a7b2-0201-4d3e-9f6a-000000000201
structure=e4c1a7b2-0001-4d3e-9f6a-000000000001
template=e4c1a7b2-0301-4d3e-9f6a-000000000301

# The sample's tree, nested; the flat form lists the two top catalogues.
call GetVktCatalogList "<root><recursive_flag>true</recursive_flag></root>"
expect "name=\"临床诊疗指南\" parent_id=\"\" remark=\"各专科诊疗指南\"><child def_structure_id=\"$structure\" id=\"$cardiology\" name=\"心血管疾病\" parent_id=\"$guides\" remark=\"\"><child " \
  "name=\"心律失常\" parent_id=\"$cardiology\" remark=\"\"/></child><child " \
  "name=\"呼吸系统疾病\" parent_id=\"$guides\" remark=\"\"/></child><child def_structure_id=\"\" id=\"e4c1a7b2-0106-4d3e-9f6a-000000000106\" name=\"护理常规\" parent_id=\"\" remark=\"病区护理常规\"/></root>"
call GetVktCatalogList "<root/>"
expect '"临床诊疗指南" parent_id="" remark="各专科诊疗指南"/><child ' '"护理常规"'
call GetVktItemList "<root><catalog_id>$cardiology</catalog_id><recursive_flag>true</recursive_flag><vaild_flag>1</vaild_flag></root>"
expect '>不稳定型心绞痛</item>' '>心房颤动</item>'
call GetVktStructure "<root><id>$structure</id></root>"
expect 'name="疾病知识结构" remark="定义、诊断与治疗三部分" vaild_flag="1">&lt;structure&gt;&lt;part xid="definition" name="定义"/&gt;'
call GetVktElementList "<root><item_id>$angina</item_id></root>"
expect "<element item_id=\"$angina\" structure_xid=\"definition\">oFG2cqhSCYGlfDdobHgW"
call GetVktDistriCatalog "<root><dept_code>0101</dept_code></root>"
expect "<catalog_id dept_code=\"0101\" template_id=\"$template\">$cardiology</catalog_id>"
call GetVktRfConfig "<root><template_id>$template</template_id></root>"
expect 'template_name="心血管内科病程记录模板" valid="1" xid="treatment">'
call GetVktCatalogListByDept "<root/>"
expect "template_name=\"心血管内科病程记录模板\" valid=\"1\" xid=\"treatment\">$template</template_id>" \
  'catalog_id="e4c1a7b2-0105-4d3e-9f6a-000000000105" dept_code="0102" template_name="" valid="" xid="">'

# The writing methods, one chain on one object, read back as they go.
call SetVktCatalog "<root><parent_id>$cardiology</parent_id><name>O'Brien 高血压</name></root>"
catalog=$(printf '%s' "$answer" | tail -n 1)
call SetVktItem "<root><catalog_id>$catalog</catalog_id><name>高血压急症</name></root>"
item=$(printf '%s' "$answer" | tail -n 1)
call SetVktStructure "<root><name>简表</name><content>&lt;a&gt;</content></root>"
call SetVktElement "<root><item_id>$item</item_id><structure_xid>x</structure_xid><content>AAEC</content></root>" \
  -- GetVktElementList "<root><item_id>$item</item_id></root>"
expect ">AAEC"
call AddVktDistriCatalog "<root><dept_code>0103</dept_code><catalog_id>$catalog</catalog_id><template_id>T9</template_id></root>" \
  -- SetVktRfConfig "<root><template_id>T9</template_id><template_name>新模板</template_name><valid>1</valid></root>" \
  -- GetVktCatalogListByDept "<root><dept_code>0103</dept_code></root>"
expect 'template_name="新模板" valid="1" xid="">T9</template_id>'
call GetVktCatalogList "<root><parent_id>$cardiology</parent_id></root>"
expect "O'Brien 高血压"
call DelVktElement "<root><item_id>$item</item_id></root>" -- DelVktItem "<root><id>$item</id></root>" \
  -- DelVktCatalog "$catalog" -- DelVktDistriCatalog "<root><template_id>T9</template_id></root>" \
  -- DelVktRfConfig "<root><template_id>T9</template_id></root>" \
  -- DelVktStructure "$structure" -- GetVktStructure "<root/>" -- GetVktCatalogListByDept "<root><dept_code>0103</dept_code></root>"
expect '<root/>'
# A condition that is no XML is refused.
if "$korvalis" call Repository GetVktItemList '<root>' 2>&1; then exit 1; fi
echo REPOSITORY_CALLS_OK
