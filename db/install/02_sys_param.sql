-- System parameters with their installed values. A parameter without a value behaves as if
-- it were absent; the comment before each row says what absence means.

-- "1" stores new record content compressed (zlib); absent or any other value: uncompressed.
INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('emr_content_compression', '1');
-- "1" stores new record content encrypted (DES-EDE2); absent or any other value: plain.
INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('emr_content_encryption', '0');
-- The version stamp of new records; absent: the version of the server component.
INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('system_version', NULL);
-- Hours from a consultation's time to its deadline. Absent or not a number, the deadline
-- would fall one hour before the consultation, so the installation sets a day.
INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('system_consultation_timeout', '24');
-- The style sheet every new record gets; absent: records carry no default style sheet.
INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('system_default_css',
  'BODY { font-family: "SimSun", "Songti SC", serif; font-size: 10.5pt; margin: 2cm 2.5cm; } '
  || 'TABLE { border-collapse: collapse; } TD { padding: 2px 4px; } '
  || 'P { margin: 0; line-height: 1.5; text-indent: 2em; }');
-- The diagnosis configuration of the standard data set (data-element ids of the site);
-- absent: no element is treated as a diagnosis.
INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('system_std_diagnosis', NULL);
-- Age text rule "L;H;Y": below L months days and hours, below H months months and days,
-- from H months years. "1;168;0" is also the rule when the parameter is absent.
INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('system_age_format', '1;168;0');
-- Further date patterns of data elements; absent: the built-in patterns only.
INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('system_datetime_format', '<root/>');
-- The XSL that renders prescriptions; absent or "NULL": prescriptions are not rendered.
INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('emr_recipe_text_xsl', NULL);
-- The template of the department QC result document, as <root><template>n</template></root>;
-- absent: department QC reports cannot be generated.
INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('dept_qc_param', NULL);
-- Monthly department grade tasks: frequency "1" makes one task a month, any other value four
-- weekly tasks, as when the parameter is absent.
INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('emr_grade_default',
  '<root><dept_grade_task_autocreate><frequency>4</frequency></dept_grade_task_autocreate></root>');
-- The most records one whole-visit browse joins; absent: 16; "0": no limit.
INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('emr_browse_max', '16');
-- Catalogue ids, separated by ";", whose records are each followed by a page break in a
-- browse; absent: none.
INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('emr_browse_pagebreak', NULL);
-- <root><template>adult chart</template><babytp>baby chart</babytp></root>; absent: the
-- browse catalogue lists no temperature charts.
INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('temperature_record_property', NULL);
-- <root><template>birth process record</template></root>; absent: not listed.
INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('birth_process_property', NULL);
-- Digest of the site's master password for the record library's login; absent: none.
INSERT INTO TELV_SYS_PARAM (NAME, VALUE) VALUES ('system_peeper', NULL);
