local s = "aé中😀"
print(string.mblen(s), "|", string.mbsub(s, 2, 3), "|", #s, "|")
for c in eachmbc("Жx") do print("[", c, "]") end
print("|")
