-- Property maps: how the property bags of reports, QC rules, QC standards and EMR records are
-- written into their tables. TYPE "string" quotes the value, "date" converts it through the
-- dialect, "number" writes it bare.

INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_report', 'id', 'ID', 'number', '报表ID');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_report', 'name', 'NAME', 'string', '报表名称');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_report', 'catalogid', 'CATALOG_ID', 'number', '报表类别ID');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_report', 'creator', 'CREATOR', 'string', '创建人');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_report', 'creatorid', 'CREATOR_ID', 'string', '创建人ID');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_report', 'createtime', 'CREATE_TIME', 'date', '创建时间');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_report', 'modifior', 'MODIFIOR', 'string', '修改人');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_report', 'lastmodifytime', 'LAST_MODIFY_TIME', 'date', '最后修改时间');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_report', 'sort', 'SORT', 'number', '排序');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_report', 'note', 'NOTE', 'string', '备注');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_report', 'status', 'STATUS', 'number', '状态');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_report', 'newformat', 'NEW_FORMAT', 'number', '新格式标志');

INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_rule', 'id', 'ID', 'number', '规则ID');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_rule', 'name', 'NAME', 'string', '规则名称');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_rule', 'owner_type', 'OWNER_TYPE', 'string', '所属类型');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_rule', 'emr_type', 'EMR_TYPE', 'number', '病历类型');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_rule', 'point_id', 'POINT_ID', 'number', '评分标准项ID');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_rule', 'quantity', 'QUANTITY', 'string', '次数');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_rule', 'sort_code', 'SORT_CODE', 'string', '排序码');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_rule', 'time_out', 'TIME_OUT', 'number', '时限(小时)');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_rule', 'notes', 'NOTES', 'string', '备注');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_rule', 'status', 'STATUS', 'number', '状态');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_rule', 'frequency', 'FREQUENCY', 'string', '频次');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_rule', 'preevent', 'PRE_EVENT_CODE', 'string', '前置事件');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_rule', 'preevent_time', 'PRE_EVENT_TIME', 'string', '前置事件时间');

INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_item', 'id', 'ID', 'number', '标准项ID');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_item', 'standard', 'STANDARD', 'string', '评分标准');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_item', 'point', 'POINT', 'number', '扣分');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_item', 'type_veto', 'TYPE_VETO', 'number', '否决类型');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_item', 'type_multi_sel', 'TYPE_MULTI', 'number', '多选项');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_item', 'type_subjective', 'TYPE_SUBJECTIVE', 'number', '主观项');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_item', 'main_grade_flag', 'MAIN_GRADE_FLAG', 'string', '主要评分项');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_item', 'notes', 'NOTES', 'string', '备注');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_item', 'sort_code', 'SORT_CODE', 'number', '排序');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_item', 'point_catalog_id', 'POINT_CATALOG_ID', 'number', '所属类别ID');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_item', 'code', 'CODE', 'string', '标准项编码');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_item', 'type', 'TYPE', 'number', '标准项类型');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_item', 'status', 'STATUS', 'number', '状态');

INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_catalog', 'id', 'ID', 'number', '类别ID');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_catalog', 'name', 'NAME', 'string', '类别名称');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_catalog', 'emr_type', 'EMR_TYPE_LIST', 'string', '适用病历类型');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_catalog', 'parent_id', 'PARENT_ID', 'number', '上级类别ID');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_catalog', 'sort_code', 'SORT_CODE', 'number', '排序');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_catalog', 'total_point', 'TOTAL_POINT', 'number', '总分');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_catalog', 'notes', 'NOTES', 'string', '备注');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_catalog', 'grade_area', 'GRADE_AREA', 'string', '质控范围');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('pev_standard_catalog', 'status', 'STATUS', 'number', '状态');

INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_emr_content', 'id', 'ID', 'string', '病历ID');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_emr_content', 'patient_id', 'PATIENT_ID', 'string', '病人ID');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_emr_content', 'event_no', 'EVENT_NO', 'string', '住院号');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_emr_content', 'catalog', 'CATALOG_ID', 'number', '病历类别ID');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_emr_content', 'template', 'TEMPLATE_ID', 'number', '模板ID');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_emr_content', 'emr_type', 'EMR_TYPE', 'number', '病历类型');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_emr_content', 'title', 'TITLE', 'string', '病历标题');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_emr_content', 'author', 'CREATOR', 'string', '创建人');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_emr_content', 'authorid', 'CREATOR_ID', 'string', '创建人ID');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_emr_content', 'key', 'KEYWORD', 'string', '关键字');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_emr_content', 'notes', 'NOTES', 'string', '备注');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_emr_content', 'sort', 'SORT_CODE', 'string', '排序码');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_emr_content', 'create_date', 'CREATE_DATE', 'date', '创建时间');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_emr_content', 'status', 'STATUS', 'number', '状态');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_emr_content', 'version', 'VERSION', 'string', '系统版本');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_emr_content', 'compression', 'COMPRESSION', 'number', '压缩类型');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_emr_content', 'encryption', 'ENCRYPTION', 'number', '加密类型');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_emr_content', 'confirmstatus', 'CONTENT_VERIFICATION_STATUS', 'number', '确认状态');
INSERT INTO TELV_PROPERTY_MAP (MAP_NAME, PROPERTY, FIELD, TYPE, NOTES) VALUES ('telv_emr_content', 'qcstatus', 'QC_VERIFICATION_STATUS', 'number', '质控状态');
