-- A final QC task of December without department records yet: the sample's search, assignment
-- and scoring fill it.
INSERT INTO PEV_TASK_RECORD (ID, TITLE, STATUS) VALUES (2, '2026年12月终末病历质控', 1);
