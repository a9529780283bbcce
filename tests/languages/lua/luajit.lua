#!/usr/bin/env luajit
-- LuaJIT's numbers and its FFI, for the lexer's tests.
local ffi = require("ffi")
ffi.cdef[[
typedef struct { int x, y; } point;
int printf(const char *fmt, ...);
]]
local p = ffi.new("point", 1, 2)
local big = 0x7fffffffffffffffLL
local ubig = 18446744073709551615ULL
local imag = 3.5i
local mixed = 12ll + 5uLL
local bits = bit.band(0xff, 0x0f)
goto done
print(p.x, p.y, big, ubig, imag, mixed, bits)
::done::
local jitv = jit and jit.version or "no jit"
return { p = p, v = jitv }
