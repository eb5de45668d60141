-- real arithmetic with truncation, rounding and number formatting
local acc, x = 0, 0.5
local function round(v) local f = math.floor(v + 0.5); if f - v == 0.5 and f % 2 == 1 then f = f - 1 end; return f end
for i = 1, 1000000 do
  x = x * 1.000001 + 0.25
  local y = x / 3.0 - 1.5
  acc = acc + math.tointeger(y >= 0 and math.floor(y) or math.ceil(y)) + round(x)
end
print(acc .. " " .. string.format("%.15g", x))
