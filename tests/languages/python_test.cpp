// Python's near misses: for each decision the lexer and the rules for
// --allow make, a pair of sources that must differ if it went wrong and,
// where it can go the other way, a pair that must stay equal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../lex_support.h"
#include "../support.h"

namespace {

RewriteSet only(Rewrite r)
{
    return static_cast<RewriteSet>(rewriteBit(r));
}

// n headers, each a level deeper than the one before, then tail at the
// deepest level.
std::string nested(int n, const std::string &tail)
{
    std::string out;
    for (int k = 0; k < n; ++k)
        out += std::string(static_cast<std::size_t>(k), ' ') + "if x:\n";
    return out + std::string(static_cast<std::size_t>(n), ' ') + tail;
}

// n f-strings, each in a field of the one around it.
std::string nestedFString(int n)
{
    return n == 0 ? "a" : "f'{" + nestedFString(n - 1) + "}'";
}

TEST(PythonNearMiss, Layout)
{
    checkPairs(Language::Python, {
        {"form feed is a blank", "x =\f1\n", "x = 1\n", true},
        {"vertical tab is no blank", "x =\v1\n", "x = 1\n", false, 1, 4, 1, 5},
        {"backslash before no line end is a token", "x = a \\ b\n", "x = a b\n", false, 1, 7, 1, 7},
        {"blank line's blanks are no indentation", "if x:\n    a\n  \n    b\n", "if x:\n    a\n    b\n", true},
        {"comment line's blanks are no indentation", "if x:\n    a\n  # c\n    b\n", "if x:\n    a\n    b\n", true},
        {"blank line inside brackets", "f(a,\n\n  b)\n", "f(a, b)\n", true},
        {"unbalanced close opens nothing", "x)\ny = (a,\n b)\n", "x)\ny = (a, b)\n", true},
        {"; alone on a line", "x = 1\n;\n", "x = 1\n", false, 2, 1, 2, 1},
    });
}

TEST(PythonNearMiss, Indentation)
{
    checkPairs(Language::Python, {
        {"blanks then a tab", "if x:\n  \ta\n", "if x:\n\ta\n", true},
        {"blanks against a tab on one level", "if x:\n\ta\n        b\n", "if x:\n\ta\n\tb\n", false, 3, 9, 3, 2},
        {"tabs deeper only at width 8", "if x:\n        if y:\n\t\tb\n", "if x:\n        if y:\n                b\n",
         false, 3, 3, 3, 1},
        {"8 blanks are a tab's column", "if x:\n\tif y:\n        b\n", "if x:\n\tif y:\n\t\tb\n", false},
        {"blank before a tab adds no column", "if x:\n\tif y:\n \tb\n", "if x:\n\tif y:\n\t\tb\n", false},
        {"deepest level held", nested(99, "y = 1\n"), nested(99, "y  =  1\n"), true},
        {"a level past it reads the rest strictly", nested(100, "y = 1\n"), nested(100, "y  =  1\n"), false},
    });
}

TEST(PythonNearMiss, Headers)
{
    checkPairs(Language::Python, {
        {"with", "with a: b\n", "with a:\n    b\n", true},
        {"name that starts as a keyword", "iffy: x\n", "iffy:\n    x\n", false, 1, 7, 1, 6},
        {"long name", "definitely: x\n", "definitely:\n    x\n", false, 1, 13, 1, 12},
        {"lambda inside the header's brackets", "if f(lambda: 0): x\n", "if f(lambda: 0):\n    x\n", true},
        {"case inside a case block", "match x:\n    case 1:\n        case[2]: y\n",
         "match x:\n    case 1:\n        case[2]:\n            y\n", false},
        {"match line without its colon", "match(x)\n    case[1]: a\n", "match(x)\n    case[1]:\n        a\n", false},
    });
}

TEST(PythonNearMiss, Numbers)
{
    checkPairs(Language::Python, {
        {"underscore between digits", "x = 1_000\n", "x = 1 _000\n", false, 1, 5, 1, 5},
        {"two underscores end a number", "x = 1__0\n", "x = 1 __0\n", true},
        {"fraction", "x = 1.5\n", "x = 1 .5\n", false},
        {"second dot ends a number", "x = 1.5.real\n", "x = 1.5 .real\n", true},
        {"exponent", "x = 1e5\n", "x = 1 e5\n", false},
        {"capital exponent", "x = 1E5\n", "x = 1 E5\n", false},
        {"exponent's sign", "x = 1e+5\n", "x = 1e +5\n", false},
        {"exponent after a fraction", "x = 1.5e5\n", "x = 1.5 e5\n", false},
        {"e with no digit ends a number", "x = 1else 2\n", "x = 1 else 2\n", true},
        {"sign with no digit ends a number", "x = 1e-a\n", "x = 1 e - a\n", true},
        {"second exponent", "x = 1e5e5\n", "x = 1e5 e5\n", true},
        {"imaginary", "x = 1j\n", "x = 1 j\n", false},
        {"capital imaginary", "x = 1J\n", "x = 1 J\n", false},
        {"hex", "x = 0x1f\n", "x = 0 x1f\n", false},
        {"capital hex", "x = 0X1F\n", "x = 0 X1F\n", false},
        {"octal", "x = 0o17\n", "x = 0 o17\n", false},
        {"capital octal", "x = 0O17\n", "x = 0 O17\n", false},
        {"binary", "x = 0b1\n", "x = 0 b1\n", false},
        {"underscore after a base", "x = 0x_1\n", "x = 0 x_1\n", false},
        {"underscore between hex digits", "x = 0x1_f\n", "x = 0x1 _f\n", false},
        {"base with no digit", "x = 0xg\n", "x = 0 xg\n", true},
        {"base, underscore, no digit", "x = 0x_g\n", "x = 0 x_g\n", true},
        {"hex digits, then a name", "x = 0x1g\n", "x = 0x1 g\n", true},
        {"hex has no fraction", "x = 0x1.real\n", "x = 0x1 .real\n", true},
        {"dot then a digit", "x = .5\n", "x = . 5\n", false},
    });
}

TEST(PythonNearMiss, Prefixes)
{
    std::vector<PairCase> cases;
    // Each spelling is a prefix only when it stands before the quote.
    for (const char *p : {"r", "u", "b", "f", "t", "R", "U", "B", "F", "T", "rb", "br", "Rb", "bR", "rf", "fr", "RF",
                          "rt", "tr", "Rt", "tR"})
        cases.push_back({p, std::string("x = ") + p + "'a'\n", std::string("x = ") + p + " 'a'\n", false});
    for (const char *p : {"ur", "bu", "ub", "rr", "bb", "fb", "tf", "rbf", "x"})
        cases.push_back({p, std::string("x = ") + p + "'a'\n", std::string("x = ") + p + " 'a'\n", true});
    checkPairs(Language::Python, cases);
}

TEST(PythonNearMiss, Strings)
{
    checkPairs(Language::Python, {
        {"empty string is no triple quote", "x = '' + a\n", "x = ''+a\n", true},
        {"quote inside triple quotes", "x = '''a'b''' + c\n", "x = '''a'b'''+c\n", true},
        {"two quotes inside triple quotes", "x = '''a''b''' + c\n", "x = '''a''b'''+c\n", true},
        {"other quote inside", "x = 'a\"b' + c\n", "x = 'a\"b'+c\n", true},
        {"escaped quote", "x = 'a\\'b' + c\n", "x = 'a\\'b'+c\n", true},
        {"raw string's escaped quote", "x = r'a\\'b' + c\n", "x = r'a\\'b'+c\n", true},
        {"escaped CR LF", "x = 'a\\\r\nb'\r\n", "x = 'a\\\nb'\n", true},
        {"lone CR in a string", "x = '''a\rb'''\n", "x = '''a\nb'''\n", false},
        {"unterminated triple quotes run to the end", "x = '''a\ny = 1\n", "x = '''a\ny  =  1\n", false},
        {"braces of a plain string", "x = '{' + a\n", "x = '{'+a\n", true},
    });
}

TEST(PythonNearMiss, Joins)
{
    checkPairs(Language::Python, {
        {"r parts", "x = (r'a'\n     r'b')\n", "x = (r'ab')\n", true},
        {"u parts", "x = (u'a' u'b')\n", "x = (u'ab')\n", true},
        {"b parts", "x = (b'a' b'b')\n", "x = (b'ab')\n", true},
        {"f parts", "x = (f'a' f'b')\n", "x = (f'ab')\n", true},
        {"t parts", "x = (t'a' t'b')\n", "x = (t'ab')\n", true},
        {"capital parts", "x = (R'a' R'b')\n", "x = (R'ab')\n", true},
        {"across a comment", "x = ('a'  # c\n     'b')\n", "x = ('ab')\n", true},
        {"prefix in another case", "x = (u'a' U'b')\n", "x = (u'ab')\n", false, 1, 6, 1, 6},
        {"another prefix of one length", "x = (u'a' b'b')\n", "x = (u'ab')\n", false},
        {"triple part and single part", "x = ('a' '''b''')\n", "x = ('ab')\n", false},
        {"single part between triple parts", "x = ('''a''' 'b' '''c''')\n", "x = ('''abc''')\n", false},
        {"triple parts", "x = ('''a''' '''b''')\n", "x = ('''ab''')\n", true},
        {"octal escape, then no digit", "x = ('\\1' 'a')\n", "x = ('\\1a')\n", true},
        {"octal escape, then 8", "x = ('\\1' '8')\n", "x = ('\\18')\n", true},
        {"raw octal", "x = (r'\\1' r'2')\n", "x = (r'\\12')\n", true},
        {"unicode escape a digit short", "x = ('\\u00e' '9')\n", "x = ('\\u00e9')\n", false},
        {"hex escape finished", "x = ('\\x4a' 'b')\n", "x = ('\\x4ab')\n", true},
        {"unicode escape finished", "x = ('\\u00e9' 'a')\n", "x = ('\\u00e9a')\n", true},
        {"long escape finished", "x = ('\\U0001F600' 'a')\n", "x = ('\\U0001F600a')\n", true},
        {"escaped backslash, then x", "x = ('\\\\x' 'a')\n", "x = ('\\\\xa')\n", true},
        {"raw, unfinished hex", "x = (r'\\x4' r'a')\n", "x = (r'\\x4a')\n", true},
        {"raw, unfinished name", "x = (r'\\N{' r'a}')\n", "x = (r'\\N{a}')\n", true},
        {"raw two-letter prefix", "x = (rb'\\x4' rb'a')\n", "x = (rb'\\x4a')\n", true},
        {"raw two-letter prefix, r second", "x = (bR'\\1' bR'2')\n", "x = (bR'\\12')\n", true},
    });
}

TEST(PythonNearMiss, FStrings)
{
    checkPairs(Language::Python, {
        {"doubled opening braces", "x = f'{{' + a\n", "x = f'{{'+a\n", true},
        {"doubled closing braces", "x = f'}}' + a\n", "x = f'}}'+a\n", true},
        {"raw f-string's \\N{ opens a field", "x = rf'\\N{\"'\"}' + a\n", "x = rf'\\N{\"'\"}'+a\n", true},
        {"colon inside a field's brackets", "x = f'{ {1: \"'\"}[1] }' + b\n", "x = f'{ {1: \"'\"}[1] }'+b\n", true},
        {"colon inside a field's brackets, then a quote", "x = f'{ {1: 2}[\"'\"] }' + b\n",
         "x = f'{ {1: 2}[\"'\"] }'+b\n", true},
        {"quote in a field's comment", "x = f'''{a # '\n}''' + b\n", "x = f'''{a # '\n}'''+b\n", true},
        {"deepest f-string held", nestedFString(8) + " + b\n", nestedFString(8) + "+b\n", true},
        {"one deeper reads the rest strictly", nestedFString(9) + " + b\n", nestedFString(9) + "+b\n", false},
    });
}

TEST(PythonNearMiss, Operators)
{
    std::vector<PairCase> cases;
    // Each operator of two or three bytes is one token: split, it differs.
    for (const char *name : {"**", "//", "<<", ">>", "**=", "//=", "<<=", ">>=", "*=", "/=", "<=", ">=", "->", "-=",
                             "+=", "%=", "&=", "|=", "^=", "@=", "==", "!=", ":=", "..."}) {
        const std::string op = name;
        for (std::size_t cut = 1; cut < op.size(); ++cut)
            cases.push_back({name, "a " + op + " b\n", "a " + op.substr(0, cut) + " " + op.substr(cut) + " b\n", false});
    }
    // Pairs that are no operator are two tokens.
    for (const char *name : {"<>", "=>", "..", "+-", "=<", "!!"}) {
        const std::string pair = name;
        cases.push_back({name, "a" + pair + "b\n", "a " + pair.substr(0, 1) + " " + pair.substr(1) + " b\n", true});
    }
    checkPairs(Language::Python, cases);
}

TEST(PythonNearMiss, Parens)
{
    checkRewritePairs(Language::Python, only(Rewrite::Parens), {
        {"after global", "global (a)\n", "global a\n", false},
        {"after nonlocal", "nonlocal (a)\n", "nonlocal a\n", false},
        {"after from", "from (a) import b\n", "from a import b\n", false},
        {"after def", "def (f)():\n    pass\n", "def f():\n    pass\n", false},
        {"after class", "class (A):\n    pass\n", "class A:\n    pass\n", false},
        {"after async", "async (f)\n", "async f\n", false},
        {"after case", "match x:\n    case (a):\n        pass\n", "match x:\n    case a:\n        pass\n", false},
        {"after type", "type (X) = int\n", "type X = int\n", false},
        {"after a dot", "x = a.(b)\n", "x = a.b\n", false},
        {"name in an import", "import a, (b)\n", "import a, b\n", false},
        {"name in a global", "global a, (b)\n", "global a, b\n", false},
        {"second name of a from-import", "from m import a, (b)\n", "from m import a, b\n", false},
        {"star of a from-import", "from m import (*)\n", "from m import *\n", false},
        {"from-import's trailing comma", "from m import (a,)\n", "from m import a,\n", false},
        {"default", "def f(a=(b)):\n    pass\n", "def f(a=b):\n    pass\n", true},
        {"annotation", "def f(a: (int)):\n    pass\n", "def f(a: int):\n    pass\n", true},
        {"lambda's default", "f = lambda a=(b): 0\n", "f = lambda a=b: 0\n", true},
        {"type parameter", "def f[(T)]():\n    pass\n", "def f[T]():\n    pass\n", false},
        {"type parameter's bound", "class A[T: (int)]:\n    pass\n", "class A[T: int]:\n    pass\n", true},
        {"parameter after type parameters", "def f[T]((a)):\n    pass\n", "def f[T](a):\n    pass\n", false},
        {"walrus's target", "f((a) := 1)\n", "f(a := 1)\n", false},
        {"empty parentheses", "x = ()\n", "x =\n", false},
        {"return, then more", "def f():\n    return (a or b) and c\n", "def f():\n    return a or b and c\n", false},
        {"return of a generator", "def f():\n    return (a for a in b)\n", "def f():\n    return a for a in b\n", false},
        {"return of a walrus", "def f():\n    return (a := 1)\n", "def f():\n    return a := 1\n", false},
        {"right-hand side, then more", "x = (a or b).c\n", "x = a or b.c\n", false},
        {"right-hand generator", "x = (a for a in b)\n", "x = a for a in b\n", false},
        {"yield of a value on the right", "def f():\n    x = (yield a)\n", "def f():\n    x = yield a\n", true},
        {"target, then more", "(a, b).c = d\n", "a, b.c = d\n", false},
        {"condition, then more", "if (a or b) and c:\n    pass\n", "if a or b and c:\n    pass\n", false},
        {"condition's tuple", "if (a, b):\n    pass\n", "if a, b:\n    pass\n", false},
        {"while's condition", "while (a or b):\n    pass\n", "while a or b:\n    pass\n", true},
        {"with item's walrus", "with (a := b):\n    pass\n", "with a := b:\n    pass\n", false},
        {"with items in a tuple", "with (a, b):\n    pass\n", "with a, b:\n    pass\n", false},
        {"with item before a comma", "with (a or b), c:\n    pass\n", "with a or b, c:\n    pass\n", true},
        {"except's tuple", "try:\n    pass\nexcept (A, B):\n    pass\n", "try:\n    pass\nexcept A, B:\n    pass\n", false},
        {"except's class", "try:\n    pass\nexcept (A or B):\n    pass\n", "try:\n    pass\nexcept A or B:\n    pass\n",
         true},
        {"assert's tuple", "assert (a, b)\n", "assert a, b\n", false},
        {"assert's test", "assert (a or b), c\n", "assert a or b, c\n", true},
        {"assert's message", "assert a, (b or c)\n", "assert a, b or c\n", true},
        {"async for's target", "async def f():\n    async for (a, b) in c:\n        pass\n",
         "async def f():\n    async for a, b in c:\n        pass\n", true},
        {"primary's subscript", "x = -(a[1])\n", "x = -a[1]\n", true},
        {"primary's call", "x = -(a(1))\n", "x = -a(1)\n", true},
        {"unary operand is no primary", "x = (-a)[1]\n", "x = -a[1]\n", false},
        {"conditional is no primary", "x = -(a if b else c)\n", "x = -a if b else c\n", false},
        {"not is no atom", "x = -(not a)\n", "x = -not a\n", false},
        {"strings side by side are one atom", "x = -('a' \"b\")\n", "x = -'a' \"b\"\n", true},
        {"commas inside inner brackets", "if (f(a, b)):\n    pass\n", "if f(a, b):\n    pass\n", true},
    });
    std::vector<PairCase> assignments;
    for (const char *op : {"=", "+=", "-=", "*=", "/=", "//=", "%=", "**=", ">>=", "<<=", "&=", "^=", "|=", "@="})
        assignments.push_back({op, std::string("x ") + op + " (a + b)\n", std::string("x ") + op + " a + b\n", true});
    checkRewritePairs(Language::Python, only(Rewrite::Parens), assignments);
}

TEST(PythonNearMiss, Commas)
{
    std::vector<PairCase> cases = {
        {"call of a call", "f()(a,)\n", "f()(a)\n", true},
        {"call of a subscript", "x[0](a,)\n", "x[0](a)\n", true},
        {"call of a brace", "{}(a,)\n", "{}(a)\n", true},
        {"call of a string", "'a'(b,)\n", "'a'(b)\n", true},
        {"call of a number", "1(a,)\n", "1(a)\n", true},
        {"call of an ellipsis", "...(a,)\n", "...(a)\n", true},
        {"call of a name", "print (a,)\n", "print (a)\n", true},
        {"tuple after an operator", "x = -(a,)\n", "x = -(a)\n", false},
        {"tuple inside a call", "f((a,))\n", "f((a))\n", false},
        {"list after an operator", "x = -[a,]\n", "x = -[a]\n", true},
        {"subscript of a string", "x = 'ab'[a,]\n", "x = 'ab'[a]\n", false},
        {"type parameter of one", "def f[T,]():\n    pass\n", "def f[T]():\n    pass\n", false},
        {"type parameters of two", "def f[T, U,]():\n    pass\n", "def f[T, U]():\n    pass\n", true},
        {"class's type parameter", "class A[T,]:\n    pass\n", "class A[T]:\n    pass\n", false},
        {"parameters after type parameters", "def f[T](a,):\n    pass\n", "def f[T](a):\n    pass\n", true},
        {"case pattern", "match x:\n    case (a,):\n        pass\n", "match x:\n    case (a):\n        pass\n", false},
        {"list comprehension", "x = [a for a in b,]\n", "x = [a for a in b]\n", false},
        {"comprehension a level in", "x = [f(a for a in b), c,]\n", "x = [f(a for a in b), c]\n", true},
        {"lambda ended in a list", "x = [lambda: 0,]\n", "x = [lambda: 0]\n", true},
        {"after a keyword argument", "f(a=1,)\n", "f(a=1)\n", true},
        {"after a closing bracket", "f((a),)\n", "f((a))\n", true},
        {"after a string", "f('a',)\n", "f('a')\n", true},
        {"after an unbalanced close", "x = a) + f(b, c,)\n", "x = a) + f(b, c)\n", false},
    };
    // After a keyword, '(' opens a tuple, not a call.
    for (const char *word : {"and", "as", "assert", "async", "await", "break", "class", "continue", "def", "del", "elif",
                             "else", "except", "finally", "for", "from", "global", "if", "import", "in", "is",
                             "lambda", "nonlocal", "not", "or", "pass", "raise", "return", "try", "while", "with",
                             "yield"})
        cases.push_back({word, std::string(word) + " (a,)\n", std::string(word) + " (a)\n", false});
    checkRewritePairs(Language::Python, only(Rewrite::Commas), cases);
}

TEST(PythonNearMiss, Quotes)
{
    checkRewritePairs(Language::Python, only(Rewrite::Quotes), {
        {"\\a", "x = '\\a'\n", "x = '\\x07'\n", true},
        {"\\b", "x = '\\b'\n", "x = '\\x08'\n", true},
        {"\\f", "x = '\\f'\n", "x = '\\x0c'\n", true},
        {"\\n", "x = '\\n'\n", "x = '\\x0a'\n", true},
        {"\\r", "x = '\\r'\n", "x = '\\x0d'\n", true},
        {"\\t", "x = '\\t'\n", "x = '\\x09'\n", true},
        {"\\v", "x = '\\v'\n", "x = '\\x0b'\n", true},
        {"\\0", "x = '\\0'\n", "x = '\\x00'\n", true},
        {"\\\"", "x = '\\\"'\n", "x = '\"'\n", true},
        {"\\\\", "x = '\\\\'\n", "x = '\\x5c'\n", true},
        {"three octal digits at most", "x = '\\1011'\n", "x = 'A1'\n", true},
        {"octal escape past 0o377", "x = '\\400'\n", "x = \"\\400\"\n", false},
        {"hex escape a digit short", "x = '\\x4'\n", "x = \"\\x4\"\n", false},
        {"long escape", "x = '\\U00000041'\n", "x = 'A'\n", true},
        {"long escape past the last code point", "x = '\\U00110000'\n", "x = \"\\U00110000\"\n", false},
        {"backslash before u{...}", "x = '\\\\u{e9}'\n", "x = '\\xe9'\n", false},
        {"raw string's escaped quote", "x = r'\\''\n", "x = '\\\\\\''\n", true},
        {"line end in triple quotes", "x = '''a\nb'''\n", "x = 'a\\nb'\n", true},
        {"lone CR in a string", "x = '''a\rb'''\n", "x = \"\"\"a\rb\"\"\"\n", false},
        {"text and bytes in a run", "x = ('a' b'b')\n", "x = ('ab')\n", false},
        {"text run beside an f-string", "x = ('a' f'{b}')\n", "x = (\"a\" f\"{b}\")\n", true},
        {"character as itself", "x = '\xc3\xa9'\n", "x = \"\xc3\xa9\"\n", true},
        {"four-byte character", "x = '\xf0\x9f\x98\x80'\n", "x = \"\xf0\x9f\x98\x80\"\n", true},
        {"byte that is no UTF-8", "x = '\xff'\n", "x = \"\xff\"\n", false},
        {"overlong UTF-8", "x = '\xc0\x80'\n", "x = \"\xc0\x80\"\n", false},
        {"bytes past ASCII", "x = b'\xc3\xa9'\n", "x = b\"\xc3\xa9\"\n", false},
        {"f-string's raw-ness", "x = f'\\n{a}'\n", "x = rf'\\n{a}'\n", false},
        {"t-string's quote", "x = t'{a}'\n", "x = t\"{a}\"\n", true},
        {"raw f-string's prefix case", "x = Rf'{a}'\n", "x = rF\"{a}\"\n", true},
        {"triple-quoted f-string", "x = f'''{a}'''\n", "x = f\"\"\"{a}\"\"\"\n", true},
        {"f-string's escaped quote", "x = f'it\\'s {a}'\n", "x = f\"it\\'s {a}\"\n", true},
    });
}

// A \N{...} escape compares by its name as written, a unit of its own.
TEST(PythonNearMiss, NamedEscapes)
{
    checkRewritePairs(Language::Python, only(Rewrite::Quotes), {
        {"quote character", "x = '\\N{SNOWMAN}'\n", "x = \"\\N{SNOWMAN}\"\n", true},
        {"u prefix", "x = u'\\N{SNOWMAN}'\n", "x = \"\\N{SNOWMAN}\"\n", true},
        {"in a run", "x = ('\\N{SNOWMAN}' \"a\")\n", "x = ('\\N{SNOWMAN}a')\n", true},
        {"digits and hyphens", "x = '\\N{CJK UNIFIED IDEOGRAPH-4E00}'\n", "x = \"\\N{CJK UNIFIED IDEOGRAPH-4E00}\"\n",
         true},
        {"character itself", "x = '\\N{SNOWMAN}'\n", "x = '\xe2\x98\x83'\n", false},
        {"another escape of it", "x = '\\N{SNOWMAN}'\n", "x = '\\u2603'\n", false},
        {"name with a blank more", "x = '\\N{SNOWMAN}'\n", "x = \"\\N{SNOWMAN }\"\n", false},
        {"name in another case", "x = '\\N{SNOWMAN}'\n", "x = \"\\N{snowman}\"\n", false},
        {"another name", "x = '\\N{EM DASH}'\n", "x = \"\\N{EN DASH}\"\n", false},
        {"escaped backslash before N", "x = '\\N{SNOWMAN}'\n", "x = \"\\\\N{SNOWMAN}\"\n", false},
        {"bytes", "x = '\\N{SNOWMAN}'\n", "x = b'\\N{SNOWMAN}'\n", false},
        {"bytes keep the backslash", "x = b'\\N{SNOWMAN}'\n", "x = b\"\\\\N{SNOWMAN}\"\n", true},
        {"raw", "x = '\\N{SNOWMAN}'\n", "x = r'\\N{SNOWMAN}'\n", false},
        {"raw is an escaped backslash", "x = r'\\N{SNOWMAN}'\n", "x = '\\\\N{SNOWMAN}'\n", true},
        {"name split over two parts", "x = ('\\N{SNOW' \"MAN}\")\n", "x = '\\N{SNOWMAN}'\n", false},
        {"empty name", "x = '\\N{}'\n", "x = \"\\N{}\"\n", false},
        {"no brace", "x = '\\N'\n", "x = \"\\N\"\n", false},
        {"no closing brace", "x = '\\N{SNOWMAN'\n", "x = \"\\N{SNOWMAN\"\n", false},
        {"byte no name holds", "x = '\\N{A.B}'\n", "x = \"\\N{A.B}\"\n", false},
        {"line end in the name", "x = '''\\N{A\nB}'''\n", "x = \"\"\"\\N{A\nB}\"\"\"\n", false},
    });
    const RewriteSet both = static_cast<RewriteSet>(only(Rewrite::Quotes) | only(Rewrite::Docstrings));
    checkRewritePairs(Language::Python, both, {
        {"docstring's quote character", "def f():\n    '  \\N{SNOWMAN}'\n", "def f():\n    \"  \\N{SNOWMAN}\"\n", true},
        {"docstring is not cleaned", "def f():\n    '  \\N{SNOWMAN}'\n", "def f():\n    '\\N{SNOWMAN}'\n", false},
    });
}

// The one change of an "apply black" commit, end to end.
TEST(PythonNearMiss, NamedEscapeRequoted)
{
    ScratchDir dir;
    writeFile(dir.file("d.py"), "x = \"\\N{SNOWMAN}\"\n");
    writeFile(dir.file("e.py"), "x = u'\\N{SNOWMAN}'\n");
    const RunResult r = runMatchling({"d.py", "e.py", "--tokens", "--allow", "quotes", "--exit-status"}, dir.path());
    EXPECT_EQ(r.out, "Matchling==> Allowed rewrites: quotes 1 \n\nMatchling==>  Files compare equivalent \n"
                     "Matchling==>  Press Enter to continue \n");
    EXPECT_EQ(r.status, 0);
}

TEST(PythonNearMiss, NumberValues)
{
    checkRewritePairs(Language::Python, only(Rewrite::Numbers), {
        {"negative exponent", "x = 1e-5\n", "x = 1e5\n", false},
        {"exponent's plus", "x = 1e+5\n", "x = 1e5\n", true},
        {"exponent's zeros", "x = 1e05\n", "x = 1e5\n", true},
        {"fraction's trailing zeros", "x = 1.50\n", "x = 1.5\n", true},
        {"value across the point", "x = 10e-1\n", "x = 1.0\n", true},
        {"int with an exponent", "x = 1_0e1\n", "x = 100.0\n", true},
        {"mantissa's leading zeros", "x = 00.5\n", "x = 0.5\n", true},
        {"float zeros", "x = 0.0\n", "x = 0e5\n", true},
        {"imaginary zero", "x = 0j\n", "x = 0.0J\n", true},
        {"hex leading zeros", "x = 0x00ff\n", "x = 0xff\n", true},
        {"zero in two bases", "x = 0b0\n", "x = 0o0\n", false},
        {"hex and decimal", "x = 0x10\n", "x = 16\n", false},
        {"int and float of one value", "x = 100\n", "x = 1e2\n", false},
        {"binary digit past the base", "x = 0b12\n", "x = 0B12\n", false},
        {"octal digit past the base", "x = 0o18\n", "x = 0O18\n", false},
        {"exponent of 9 digits", "x = 1e100000000\n", "x = 1E100000000\n", true},
        {"exponent of 10 digits", "x = 1e1000000000\n", "x = 1E1000000000\n", false},
    });
}

TEST(PythonNearMiss, Docstrings)
{
    checkRewritePairs(Language::Python, only(Rewrite::Docstrings), {
        {"first line's blanks are no margin", "def f():\n    '''  a\n        b'''\n", "def f():\n    '''a\n    b'''\n", true},
        {"line of blanks is no margin", "def f():\n    '''a\n  \n    b'''\n", "def f():\n    '''a\n\n    b'''\n", true},
        {"inner blank line", "def f():\n    '''a\n\n    b'''\n", "def f():\n    '''a\n    b'''\n", false},
        {"tab expands from its column", "def f():\n    '''a\n  x\ty'''\n", "def f():\n    '''a\nx\ty'''\n", false},
        {"tab as blanks", "def f():\n    '''a\n  x\ty'''\n", "def f():\n    '''a\nx     y'''\n", true},
        {"tab at a line's start", "def f():\n    '''a\n\tb'''\n", "def f():\n    '''a\n        b'''\n", true},
        {"escaped line feed", "def f():\n    '''a\\n    b'''\n", "def f():\n    '''a\n    b'''\n", true},
        {"form feed before the first line", "def f():\n    '\\f a'\n", "def f():\n    'a'\n", true},
        {"no-break space before the first line", "def f():\n    '\\xa0a'\n", "def f():\n    'a'\n", true},
        {"ideographic space before the first line", "def f():\n    '\xe3\x80\x80" "a'\n", "def f():\n    'a'\n", true},
        {"async def", "async def f():\n    '''  a'''\n", "async def f():\n    '''a'''\n", true},
        {"class in a def", "def f():\n    class A:\n        '  a'\n", "def f():\n    class A:\n        'a'\n", true},
        {"header across lines", "def f(\n    a\n):\n    '  b'\n", "def f(a):\n    'b'\n", true},
        {"return annotation", "def f() -> int:\n    '  a'\n", "def f() -> int:\n    'a'\n", true},
        {"module's after a comment", "# c\n'  a'\n", "'a'\n", true},
        {"module's second statement", "x = 1\n'  a'\n", "x = 1\n'a'\n", false},
        {"quotes stay without quotes", "def f():\n    '  a'\n", "def f():\n    \"a\"\n", false},
    });
}

} // namespace
