-- The game's logic: the scenes come from a second file, the window alpha
-- rises with every scene and the progress is written to a file.
loadLua("scenes.lua")
local at = 0
setWindowAlpha(100)
print(getGameName(), " ", #scenes, " scenes|")

function step()
  at = at + 1
  setWindowAlpha(getWindowAlpha() + 10)
  local name = scenes[at]
  return at .. ":" .. name .. ":" .. count(name, "a")
end

function finished()
  if at >= #scenes then return 1 end
  return 0
end

function save(path)
  local f = io.open("progress.tmp", "w")
  f:write(table.concat(scenes, ",", 1, at))
  f:close()
  local ok = moveFile("progress.tmp", path)
  return ok + existFile(path) + existFile("progress.tmp")
end
