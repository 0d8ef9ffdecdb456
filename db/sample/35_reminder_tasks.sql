-- The schedules of the sample's two reminder tasks: the admission-record reminder in the morning
-- and the afternoon, the nursing-record reminder of the in-hospital patients all day (active at
-- any time but 00:00, which belongs to no window).
UPDATE PEV_TASK_CONFIG_RECORD SET DEFAULT_SCHEDULE = '<time start="8" end="12">上午请完成新入院病人的入院记录</time><time start="14" end="17.5">下班前请完成新入院病人的入院记录</time>' WHERE ID = 0;
UPDATE PEV_TASK_CONFIG_RECORD SET DEFAULT_SCHEDULE = '<time start="0" end="24">请及时书写在院病人的护理记录</time>' WHERE ID = 1;
