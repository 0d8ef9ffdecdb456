-- An old-format report of the sample hospital, the counterpart of report 1: one SQL text with
-- the placeholder {dept}, its rows shaped by the names of SQL_PRO. Its SQL, parameters and
-- style sheet are written from blobs.txt.

INSERT INTO TELV_REPORT (ID, NAME, CATALOG_ID, CREATOR, CREATOR_ID, CREATE_TIME, MODIFIOR, LAST_MODIFY_TIME, SORT, NOTE, STATUS, NEW_FORMAT, SQL_PRO) VALUES (3, '科室在院病人一览(旧格式)', 1, '马丽华', '9003', TO_DATE('2026-09-15 09:00:00', 'YYYY-MM-DD HH24:MI:SS'), '马丽华', TO_DATE('2026-09-15 09:00:00', 'YYYY-MM-DD HH24:MI:SS'), 3, '导入的旧格式报表: 按当前科室列出在院病人', 1, 0, 'patient,event_no,bed,doctor,in_time');
