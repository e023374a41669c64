print("before|")
local function inner()
  local t = nil
  return t.field
end
inner()
print("never")
