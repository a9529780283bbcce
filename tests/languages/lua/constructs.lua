-- Every construct of Lua 5.3's lexer and grammar, for the lexer's tests.
--[[ A long comment
     over lines, with ]=] and [[ inside ]]
--[==[ a comment of level 2: ]] and ]=] stay inside ]==]
--[ not a long comment
--[= not one either

local M = {}
local a, b, c = 1, 2.5, 3e2
local hex, hexf, hexe = 0xFF, 0x1p4, 0x1.8P-3
local small, big = .5, 1E+10
local frac = 3.
local s1, s2 = 'single', "double"
local esc = "tab\tnewline\nquote\"backslash\\bell\a"
local dec, hx, uni = "\65\066\0677", "\x41\x42", "\u{48}\u{20AC}"
local zap = "one \z
             two"
local cont = "line one\
line two"
local long1 = [[
first line end dropped]]
local long2 = [==[
holds ]] and ]=] and [[ ]==]
local empty, emptyLong = '', [[]]

local function add(x, y)
  return x + y
end

function M.sub(x, y) return x - y end
function M:method(...)
  local n = select('#', ...)
  local args = { ... }
  return n, #args
end

local t = {
  [1] = 'one', two = 2, ["three"] = 3;
  nested = { a = { b = { c = true } } },
  f = function() return nil end,
  [ [[key]] ] = false,
}

-- arithmetic, bitwise and comparison operators
local ops = {
  a + b, a - b, a * b, a / b, a // b, a % b, a ^ b, -a,
  hex & 0x0F, hex | 1, hex ~ 2, ~hex, hex << 2, hex >> 1,
  a == b, a ~= b, a < b, a <= b, a > b, a >= b,
  s1 .. s2, #s1, not a, a and b, a or b,
}

if a < b then
  print("less")
elseif a > b then
  print("more")
else
  print("same")
end

for i = 1, 10, 2 do
  if i == 5 then goto continue end
  print(i)
  ::continue::
end

for k, v in pairs(t) do print(k, v) end

local i = 0
while i < 3 do i = i + 1 end
repeat i = i - 1 until i <= 0

do
  local x <const> = 42
  local y <close> = nil
end

print "a call with a string"
print [[a call with a long string]]
print { 1, 2, 3 }
local obj = setmetatable({}, { __index = M })
obj:method(1, 2, 3)
local r = (add)(1, 2)
;(print)(r)
local chained = M.sub(10, 4) .. "" .. tostring(add(1, 2))
local deep = t.nested.a.b.c
local call = t["f"]()
local neg = - - 1
local concat = 1 .. 2

local function varargs(...)
  local first, second = ...
  return first, second, select(2, ...)
end

local co = coroutine.wrap(function()
  for n = 1, 3 do coroutine.yield(n) end
end)

local mt = {
  __add = function(p, q) return p.v + q.v end,
  __eq = function(p, q) return p.v == q.v end,
  __concat = function(p, q) return tostring(p) .. tostring(q) end,
}

local str = ("x"):rep(3)
local fmt = string.format("%d %s %5.2f", 1, "two", 3.14159)
local pat = s1:gsub("%s+", " "):match("^(.-)$")

return M
