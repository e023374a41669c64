function show(a, b) {
  print(typeof a + " " + a.tointeger() + " " + (a == 16777216.0) + " " + b + "|");
  return a;
}
function twice(a) { return a * 2; }
function name(s) { return "[" + s + "]" + s.len(); }
function number() { return 5; }
local m = match("ab\x82\xa0c", "\x82\xa0");
print(typeof m + " " + m.len() + " " + m[0] + "," + m[1] + "," + m[2] + "|");
local p = split("a,b,,c", ",");
print(typeof p + " " + p.len() + " " + p[3] + "|");
local r = regexp_match("xxabcx", "m/b(c)/");
print(r[0] + "," + r[1] + "," + r[2] + "|");
print(typeof match("abc", "z") + "|");
print(("getTag" in getroottable()) + "," + ("loadLua" in getroottable()) + "," + ("regexp" in getroottable()) + "|");
local f = getFileList("", "*.nut", 0);
print(f.len() + " " + f[0] + "|");
