# `korvalis call` of the table transfer tools, as docs/classes.md shows them: the columns of
# PEV_RULE, the SQL test, the sample's rules exported into a file as text, read by a client that
# turns them into an import document, and that import posted to a fresh database, which then
# lists the same rules.
# Arguments: the korvalis command and the library. Prints TABLE_TRANSFER_CALL_OK when the rules
# of both databases are equal.
set -eu
K=$1
rm -rf table_transfer_call && mkdir -p table_transfer_call/fresh && cd table_transfer_call
export KORVALIS_REGISTRY=$PWD/registry
"$K" initdb --sample emr.db >/dev/null
"$K" regsvr "$2" >/dev/null
"$K" call QCAdmin GetFieldsOfTable pev_rule
"$K" call QCAdmin TestForSql "SELECT ID FROM PEV_RULE"
"$K" call QCAdmin TestForSql "DELETE FROM PEV_RULE"
"$K" call QCAdmin GetDataOfTable "<root><sql>SELECT ID, NAME, TIME_OUT FROM PEV_RULE</sql><col_count>3</col_count><primary type='NUMBER'>ID</primary></root>" --expand --out rules.xml

# The client's part: the export, expanded, is an XML text; the import is a zlib stream and a
# 4-byte length of UTF-16LE text, with one statement per row.
python3 - <<'PYTHON'
import struct, xml.etree.ElementTree as ET, zlib
export = ET.parse("rules.xml").getroot()
document = ET.Element("root")
for row in export.find("value_list"):
    rule_id, name, time_out = [value.text or "" for value in row]
    ET.SubElement(document, "sql").text = "INSERT INTO PEV_RULE (ID, NAME, TIME_OUT) VALUES (%s, '%s', %s)" % (
        rule_id, name.replace("'", "''"), time_out or "NULL")
text = ET.tostring(document, encoding="unicode").encode("utf-16-le") + b"\0\0"
open("fresh/import.bin", "wb").write(zlib.compress(text) + struct.pack("<I", len(text)))
PYTHON

rules="SELECT ID, NAME, TIME_OUT FROM PEV_RULE ORDER BY ID"
"$K" sql "$rules" >sample_rules.txt
cd fresh
"$K" initdb fresh.db >/dev/null
"$K" call QCAdmin PostSqlQuery --bytes import.bin
"$K" sql "$rules" >../fresh_rules.txt
cd ..
[ "$(wc -l <sample_rules.txt)" -gt 1 ]
cmp sample_rules.txt fresh_rules.txt
echo TABLE_TRANSFER_CALL_OK
