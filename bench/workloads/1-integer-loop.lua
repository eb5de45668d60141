-- integer loop: for with an if on i % 3 and two assignments
local n = 10000000
local a, b = 0, 0
for i = 1, n do
  if i % 3 == 0 then a = a + i else b = b + 1 end
end
print(a .. " " .. b)
