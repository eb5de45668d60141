-- nested while and repeat loops with a case over ranges, break and continue
local total, i = 0, 0
while i < 10000 do
  i = i + 1
  local j = 0
  repeat
    j = j + 1
    if j % 7 ~= 0 then
      local m = j % 10
      if m >= 0 and m <= 2 then total = total + 1
      elseif m >= 3 and m <= 5 then total = total + 2
      elseif m == 6 or m == 8 then total = total + 3
      else total = total - 1 end
      if j > 200 then break end
    end
  until j >= 300
end
print(total)
