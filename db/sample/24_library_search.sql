-- The record library's search frames: the XML templates that the search's clients offer per
-- EMR catalogue (2 the admission record, 10 the discharge record). Their XML is saved by the
-- clients (SaveXmlFrameContent).
INSERT INTO MOLB_SEARCHES_XML_FRAME (ID, NAME, CATALOG, CATALOG_ID, NOTES, STATUS) VALUES (1, '入院记录检索', '入院记录', '2', '主诉与入院诊断', 1);
INSERT INTO MOLB_SEARCHES_XML_FRAME (ID, NAME, CATALOG, CATALOG_ID, NOTES, STATUS) VALUES (2, '出院记录检索', '出院记录', '10', '出院诊断与转归', 1);
