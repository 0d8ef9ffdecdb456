#!/bin/sh
# The record library's content access and joined browse through `korvalis call` on a fresh
# sample database:
#   record_access_calls.sh KORVALIS_COMMAND PRODUCT_LIBRARY SUITE_LIBRARY
# Every call must answer (or refuse) as the sample shows it; each answer is printed after its
# method's name. Ends with RECORD_ACCESS_CALLS_OK.
calls_directory=record_access_calls
calls_class=EMRLibrary
. "$(dirname "$0")/../../tools/testing/sample_calls.sh"

call GetEMRContent 5e3a9c10-0001-4c6b-9d2e-000000000001
expect '<HTML><HEAD><TITLE>入院记录</TITLE></HEAD><BODY><H2 align=center>入院记录</H2><P>主诉: 反复胸闷'
# The admission visit of P0001: its root catalogues with records and the adult temperature chart.
call GetBrowserCatalog P0001 2026120101
expect '<catalog code="002" id="2" serial="0" sort_code="2">入院记录</catalog><catalog code="003" id="3" serial="0" sort_code="3">病程记录</catalog><catalog code="008" id="12" serial="0" sort_code="8">体温单</catalog>'
# The obstetrics visit of P0012: the baby chart under the adult chart's name, and the birth process.
call GetBrowserCatalog P0012 2026120401
expect '<root><catalog code="008" id="12" serial="1" sort_code="9">体温单</catalog><catalog code="391" id="391" serial="0" sort_code="10">产程图</catalog></root>'
call BrowseEMR P0001 2026120101 0
expect '<DIV ID=5e3a9c10-0001-4c6b-9d2e-000000000001><TITLE>入院记录</TITLE>' \
  '</DIV><P style="page-break-after:always"></P><DIV ID=5e3a9c10-0002-4c6b-9d2e-000000000002>' \
  '<DIV ID=5e3a9c10-0004-4c6b-9d2e-000000000004>'
call UnLimitBrowseEMR P0001 2026120101 6
expect '<HTML><HEAD></HEAD><BODY><DIV ID=5e3a9c10-0004-4c6b-9d2e-000000000004>'
refused BrowseEMR P0010 2026102001 0
expect '该病历处于封存状态, 不能联合浏览!'
call GetHeaderXml P0006 2026111001
call GetDictContent 2
expect '<item id="01">汉族</item>'
call GetDictContent 20
expect '<dept id="0101" hospital="H01">心血管内科</dept>'
refused GetURLXmlFile HTTP://localhost/dict.xml
expect 'URL路径不正确.'
refused GetURLXmlFile file:///etc/hostname#http://
expect 'URL文件不存在.'
echo RECORD_ACCESS_CALLS_OK
