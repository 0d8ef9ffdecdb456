-- Grade summaries of the sample hospital: the cardiology task's deductions and its grader's
-- opinion, a stored summary of that task, and the self-grade form (template 12), whose first
-- HTML is written from 44_grade_summaries.txt. The form marks its cells by the standard
-- catalogue's identifiers.

INSERT INTO PEV_GRADE_ITEM (TASK_ID, PATIENT_ID, EVENT_NO, STANDARD_ID, CONTENT, DEDUCT, EMR_ID, SERIAL) VALUES ('7f1d2c3b-0001-4a5b-8c6d-000000000001', 'P0001', '2026120101', '2', '首次病程记录入院后10小时完成', 2, '5e3a9c10-0002-4c6b-9d2e-000000000002', 1);
INSERT INTO PEV_GRADE_ITEM (TASK_ID, PATIENT_ID, EVENT_NO, STANDARD_ID, CONTENT, DEDUCT, EMR_ID, SERIAL) VALUES ('7f1d2c3b-0001-4a5b-8c6d-000000000001', 'P0001', '2026120101', '7', '日常病程记录未体现主治医师意见', 1.5, '5e3a9c10-0003-4c6b-9d2e-000000000003', 2);
INSERT INTO PEV_GRADE_TASK_SUMMARIZE (TASK_ID, USER_ID, OPINION, SUGGESTION) VALUES ('7f1d2c3b-0001-4a5b-8c6d-000000000001', '9002', '本周环节病历书写基本及时, 首次病程记录有延迟。', '首次病程记录应在入院后8小时内完成。');
INSERT INTO PEV_SUMMARY (ID, TITLE, TEMPLATE_ID, CREATE_DATE, CREATOR, CREATOR_ID, STATUS, NOTES, TYPE, DEPT_ID, TASK_ID, REPORT_STATUS) VALUES ('c4d5e6f7-0001-4a2b-8c3d-000000000001', '心血管内科12月第1周环节质控总结', 1, TO_DATE('2026-12-05 16:00:00', 'YYYY-MM-DD HH24:MI:SS'), '杨慧敏', '9002', 1, '周总结', 1, '0101', '7f1d2c3b-0001-4a5b-8c6d-000000000001', 0);
INSERT INTO TELV_EMR_TEMPLATE (ID, NAME, CREATOR_ID, CREATOR, CREATE_DATE, TYPE, EMR_TYPE, SORT_CODE, CATALOG_ID, PRINT_FLAG, SUPERIOR_SIGN_FLAG, COMPRESSION1) VALUES (12, '住院病历自评表', '9001', '韩志强', TO_DATE('2026-09-01 09:00:00', 'YYYY-MM-DD HH24:MI:SS'), 0, 0, '00012', 3, 1, 0, '0');
