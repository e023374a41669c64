print("fails|");
local t = null;
t.x <- 1;
