function grow() local s = "x" while true do s = s .. s end end
function inc(n) return n + 1 end
