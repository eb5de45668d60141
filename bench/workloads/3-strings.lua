-- string work: concatenation, sub, find, length, tostring, upper
local hits, len = 0, 0
for i = 1, 200000 do
  local s = "item " .. tostring(i) .. " of the list"
  local t = string.upper(string.sub(s, 1, 8))
  if string.find(t, "7", 1, true) then hits = hits + 1 end
  len = len + #(s .. t)
end
print(hits .. " " .. len)
