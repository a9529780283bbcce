// Lua sources and their mutants, judged by luaparse's lexer, for the test
// LuaReaderTools (tests/languages/lua_test.cpp). Run with NODE_PATH at
// tests/npm/node_modules.
//
//   node lua_judge.js make OUT FILE...  writes OUT/orig/NAME for each file the
//       parser reads (Lua 5.3, else LuaJIT; else that its lexer reads as 5.3), and one mutant of it in each of
//       OUT/spread, OUT/squeezed, OUT/lines, OUT/commented (layout moved or
//       added) and OUT/joined, OUT/split, OUT/string, OUT/operator,
//       OUT/number (a token changed, joined or split);
//   node lua_judge.js judge DIR_A DIR_B  prints "NAME same" or "NAME changed"
//       for each file of DIR_A: whether luaparse's lexer reads the same
//       tokens, as written, from both ("changed" too where it reads one not);
//   node lua_judge.js tokens DIR NAME  writes the tokens of DIR/NAME as
//       luaparse's lexer reads them, as written, each ended by a zero byte.
'use strict';
const fs = require('fs');
const path = require('path');
const luaparse = require('luaparse');

// A first line that starts with '#' (Lua's loader skips it), and the rest.
function splitHead(src) {
    if (!src.startsWith('#'))
        return ['', src];
    const lf = src.indexOf('\n');
    return lf < 0 ? [src, ''] : [src.slice(0, lf + 1), src.slice(lf + 1)];
}

// The tokens of src as luaparse's lexer reads them in version: each with
// its type and its text as written; null where it reads no Lua.
function tokens(src, version) {
    const body = splitHead(src)[1];
    try {
        const p = luaparse.parse(body, {wait: true, luaVersion: version, comments: false});
        const out = [];
        for (let t = p.lex(); t.type !== luaparse.tokenTypes.EOF; t = p.lex())
            out.push({type: t.type, text: body.slice(t.range[0], t.range[1]), range: t.range});
        return out;
    } catch (e) {
        return null;
    }
}

function sameTokens(a, b) {
    return a && b && a.length === b.length && a.every((t, k) => t.type === b[k].type && t.text === b[k].text);
}

// A small deterministic random source, so that every run makes the same mutants.
function random(seed) {
    let x = seed >>> 0 || 1;
    return n => {
        x ^= x << 13; x >>>= 0;
        x ^= x >>> 17;
        x ^= x << 5; x >>>= 0;
        return x % n;
    };
}

const wordy = /[A-Za-z0-9_\x80-\xff]/;

// The source rebuilt from its tokens, gap(k, text) giving the layout between
// token k - 1 and token k (the original gap's text); the head stays.
function rebuild(src, toks, gap) {
    const [head, body] = splitHead(src);
    let out = head, at = 0;
    toks.forEach((t, k) => {
        out += gap(k, body.slice(at, t.range[0])) + body.slice(t.range[0], t.range[1]);
        at = t.range[1];
    });
    return out + body.slice(at);
}

const isBlankGap = g => /^[ \t\r\n\v\f]*$/.test(g);

// The relayout mutants: only blanks and line ends between tokens change, or
// comments come in where blanks stood.
function relayouts(src, toks, rnd) {
    const spread = rebuild(src, toks, (k, g) => {
        if (!isBlankGap(g))
            return g;
        if (g.includes('\n'))
            return '\n' + ' '.repeat(rnd(9)) + (rnd(4) === 0 ? '\n' : '');
        return g === '' ? (rnd(2) ? ' ' : '') : ' '.repeat(1 + rnd(3));
    });
    const squeezed = rebuild(src, toks, (k, g) => {
        if (!isBlankGap(g) || k === 0)
            return g;
        const left = toks[k - 1].text, right = toks[k].text;
        const last = left[left.length - 1];
        const touch = ((wordy.test(last) || last === '.') && wordy.test(right[0])) || (/^[0-9.]/.test(left) && right[0] === '.');
        return touch ? ' ' : rnd(3) === 0 ? '' : ' ';
    });
    const lines = rebuild(src, toks, (k, g) => (isBlankGap(g) && k > 0 ? '\r\n' : g));
    const commented = rebuild(src, toks, (k, g) => {
        if (!isBlankGap(g) || k === 0 || rnd(4) !== 0)
            return g;
        return [' --[[ c ]] ', ' --[==[ ]] ]=] ]==] ', ' -- c\n', '\n--[ c\n', ' --\n'][rnd(5)];
    });
    return {spread, squeezed, lines, commented};
}

// The token mutants: one token changed, two joined, one split; null where
// the source has none to change.
function tokenMutants(src, toks, rnd) {
    const pick = test => {
        const ks = toks.map((t, k) => (test(t, k) ? k : -1)).filter(k => k >= 0);
        return ks.length ? ks[rnd(ks.length)] : -1;
    };
    const T = luaparse.tokenTypes;
    const named = t => t.type === T.Identifier || t.type === T.Keyword || t.type === T.BooleanLiteral ||
        t.type === T.NilLiteral;
    const replace = (k, text) => {
        const [head, body] = splitHead(src);
        return head + body.slice(0, toks[k].range[0]) + text + body.slice(toks[k].range[1]);
    };
    const joinedAt = pick((t, k) => k > 0 && named(t) && named(toks[k - 1]));
    const joined = joinedAt < 0 ? null : rebuild(src, toks, (k, g) => (k === joinedAt ? '' : g));
    const splitAt = pick(t => t.type === T.Identifier && t.text.length > 1);
    const split = splitAt < 0 ? null : replace(splitAt, toks[splitAt].text[0] + ' ' + toks[splitAt].text.slice(1));
    const stringAt = pick(t => t.type === T.StringLiteral);
    const string = stringAt < 0 ? null : (() => {
        const t = toks[stringAt].text;
        const quote = t[0] === '[' ? t.indexOf('[', 1) + 1 : 1;
        return replace(stringAt, t.slice(0, quote) + 'x' + t.slice(quote));
    })();
    const others = {'+': '-', '-': '+', '*': '/', '/': '//', '//': '/', '==': '~=', '~=': '==', '<': '<=',
        '<=': '<', '>': '>=', '>=': '>', '..': '+', '=': '==', ',': ';', ';': ',', '.': ':', ':': '.',
        '#': '-', '%': '*', '^': '*', '&': '|', '|': '&', '~': '-', '<<': '>>', '>>': '<<'};
    const opAt = pick(t => t.type === T.Punctuator && others[t.text] !== undefined);
    const operator = opAt < 0 ? null : replace(opAt, others[toks[opAt].text]);
    const numberAt = pick(t => t.type === T.NumericLiteral && /[0-8]/.test(t.text));
    const number = numberAt < 0 ? null : replace(numberAt, toks[numberAt].text.replace(/[0-8]/, d => String(+d + 1)));
    return {joined, split, string, operator, number};
}

function make(out, files) {
    const kinds = ['orig', 'spread', 'squeezed', 'lines', 'commented', 'joined', 'split', 'string', 'operator', 'number'];
    for (const k of kinds)
        fs.mkdirSync(path.join(out, k), {recursive: true});
    const versions = {};
    files.forEach((file, n) => {
        const src = fs.readFileSync(file, 'latin1');
        const parses = v => { try { luaparse.parse(splitHead(src)[1], {luaVersion: v}); return true; } catch (e) { return false; } };
        const version = ['5.3', 'LuaJIT'].find(parses) || (tokens(src, '5.3') ? '5.3' : undefined);
        if (!version)
            return;
        const name = String(n).padStart(3, '0') + '-' + path.basename(file);
        versions[name] = version;
        const toks = tokens(src, version);
        const rnd = random(n * 7919 + 17);
        const all = Object.assign({orig: src}, relayouts(src, toks, rnd), tokenMutants(src, toks, rnd));
        for (const k of kinds)
            if (all[k] !== null)
                fs.writeFileSync(path.join(out, k, name), all[k], 'latin1');
    });
    fs.writeFileSync(path.join(out, 'versions.json'), JSON.stringify(versions));
}

function judge(a, b) {
    const versions = JSON.parse(fs.readFileSync(path.join(a, '..', 'versions.json'), 'utf8'));
    for (const name of fs.readdirSync(a).sort()) {
        const other = path.join(b, name);
        if (!fs.existsSync(other))
            continue;
        const ta = tokens(fs.readFileSync(path.join(a, name), 'latin1'), versions[name]);
        const srcB = fs.readFileSync(other, 'latin1');
        const tb = tokens(srcB, versions[name]);
        const sameHead = splitHead(fs.readFileSync(path.join(a, name), 'latin1'))[0] === splitHead(srcB)[0];
        console.log(name + ' ' + (sameHead && sameTokens(ta, tb) ? 'same' : 'changed'));
    }
}

function list(dir, name) {
    const versions = JSON.parse(fs.readFileSync(path.join(dir, '..', 'versions.json'), 'utf8'));
    const toks = tokens(fs.readFileSync(path.join(dir, name), 'latin1'), versions[name]) || [];
    process.stdout.write(Buffer.from(toks.map(t => t.text + '\0').join(''), 'latin1'));
}

const [command, ...args] = process.argv.slice(2);
if (command === 'make')
    make(args[0], args.slice(1));
else if (command === 'tokens')
    list(args[0], args[1]);
else if (command === 'judge')
    judge(args[0], args[1]);
else
    process.exit(2);
