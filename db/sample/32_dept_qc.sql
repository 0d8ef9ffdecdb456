-- Department QC: the record template of the QC result (template 10, whose style sheet is in
-- 32_dept_qc_blobs.txt) named by the system parameter that the QC report reads.
UPDATE TELV_SYS_PARAM SET VALUE = '<root><template>10</template></root>' WHERE NAME = 'dept_qc_param';
UPDATE TELV_EMR_TEMPLATE SET COMPRESSION4 = '0' WHERE ID = 10;
