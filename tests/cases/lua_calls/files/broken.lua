function ok() return 1 end

local x = = 1
