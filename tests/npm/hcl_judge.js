// Makes and judges HCL pairs with @cdktf/hcl2json (HCL's own parser), for the
// HCL lexer's tests. No HCL formatter is at hand, so relayout mutants stand
// in for one.
//
//   node hcl_judge.js make OUT COPIES FILE...
// copies each FILE COPIES times to OUT/orig/NAME_NN.EXT, and writes of the
// same names the relayout mutants OUT/align (blanks around '=' changed),
// OUT/indent (lines re-indented, "<<-" heredoc bodies too), OUT/blank (blank
// lines added and removed), OUT/brackets (line ends moved inside brackets
// and objects), OUT/comments (comments added), OUT/trailing (blanks at line
// ends) and OUT/mixed (all of those), each seeded by NN, and the token
// mutants OUT/number, OUT/text, OUT/split, OUT/joinline, OUT/operator,
// OUT/dash, OUT/strip and OUT/heredoc, the NN-th of each file's sites changed.
//
//   node hcl_judge.js judge DIR_A DIR_B...
// prints, for each DIR_B and each file of DIR_A that it holds too, one line
//   DIR_B NAME same|differ|unparsed
// "same" when both parse to equal JSON, the expressions that hcl2json gives
// as their source text compared by their tokens (blanks, line ends, commas
// and comments left out; templates' text as written).
'use strict';
const fs = require('fs');
const path = require('path');
const hcl = require('@cdktf/hcl2json');

// --- Where a source's bytes stand --------------------------------------------

// For each byte of text: its kind ('c' code, 't' a template's text or
// quotes, 'k' a comment, 'h' a heredoc's opener or closing marker line) and
// the innermost frame ('B' body, 'P' parentheses, 'T' brackets, 'O' object,
// 'I' interpolation); and the heredocs with the starts of their body lines.
function scan(text) {
    const n = text.length;
    const kind = new Array(n).fill('c');
    const frame = new Array(n).fill('B');
    const heredocs = [];
    const stack = [];
    const open = [];
    let seenEq = false;
    const top = () => (stack.length ? stack[stack.length - 1] : 'B');
    let i = 0;
    const template = (c) => {
        if ((c === '$' || c === '%') && text[i + 1] === c && text[i + 2] === '{') {
            kind[i] = kind[i + 1] = kind[i + 2] = 't';
            i += 3;
            return true;
        }
        if ((c === '$' || c === '%') && text[i + 1] === '{') {
            const m = text[i + 2] === '~' ? 3 : 2;
            for (let k = 0; k < m; ++k) kind[i + k] = 't';
            stack.push('I');
            i += m;
            return true;
        }
        return false;
    };
    while (i < n) {
        const t = top();
        const c = text[i];
        if (t === 'Q') {
            if (c === '"') { kind[i++] = 't'; stack.pop(); continue; }
            if (c === '\\') { kind[i] = kind[i + 1] = 't'; i += 2; continue; }
            if (template(c)) continue;
            kind[i++] = 't';
            continue;
        }
        if (t === 'H') {
            const h = open[open.length - 1];
            if (h.lineStart) {
                h.lineStart = false;
                let e = text.indexOf('\n', i);
                if (e < 0) e = n;
                if (text.slice(i, e).trim() === h.marker) {
                    for (let k = i; k < e; ++k) kind[k] = 'h';
                    stack.pop();
                    open.pop();
                    i = e;
                    continue;
                }
                h.lines.push(i);
            }
            if (c === '\n') { kind[i++] = 't'; h.lineStart = true; continue; }
            if (template(c)) continue;
            kind[i++] = 't';
            continue;
        }
        frame[i] = t;
        if (c === '\n') {
            if (t === 'B') seenEq = false;
            ++i;
        } else if (c === '#' || (c === '/' && text[i + 1] === '/')) {
            while (i < n && text[i] !== '\n') kind[i++] = 'k';
        } else if (c === '/' && text[i + 1] === '*') {
            const e = text.indexOf('*/', i + 2);
            const end = e < 0 ? n : e + 2;
            while (i < end) kind[i++] = 'k';
        } else if (c === '"') {
            kind[i++] = 't';
            stack.push('Q');
        } else if (c === '<' && /^<<-?[A-Za-z_][\w-]*\r?\n/.test(text.slice(i, i + 200))) {
            const m = /^<<(-?)([A-Za-z_][\w-]*)\r?\n/.exec(text.slice(i, i + 200));
            for (let k = 0; k < m[0].length; ++k) kind[i + k] = 'h';
            const h = { dash: m[1] === '-', marker: m[2], lines: [], lineStart: true };
            heredocs.push(h);
            open.push(h);
            stack.push('H');
            i += m[0].length;
        } else if (c === '{') {
            stack.push(t === 'B' && !seenEq ? 'B' : 'O');
            ++i;
        } else if (c === '~' && text[i + 1] === '}' && t === 'I') {
            ++i;
        } else if (c === '}' || c === ')' || c === ']') {
            stack.pop();
            ++i;
        } else if (c === '(' || c === '[') {
            stack.push(c === '(' ? 'P' : 'T');
            ++i;
        } else {
            if (c === '=' && t === 'B' && !'=>'.includes(text[i + 1]) && !'=!<>'.includes(text[i - 1])) seenEq = true;
            ++i;
        }
    }
    return { kind, frame, heredocs };
}

// --- Mutants -----------------------------------------------------------------

function random(seed) {
    let s = (seed * 2654435761 + 12345) >>> 0;
    return () => {
        s = (s * 1103515245 + 12345) >>> 0;
        return (s >>> 8) / 16777216;
    };
}

// Applies edits {at, remove, insert} to text, the last first.
function apply(text, edits) {
    edits.sort((a, b) => b.at - a.at);
    for (const e of edits) text = text.slice(0, e.at) + e.insert + text.slice(e.at + e.remove);
    return text;
}

// The window offsets of text's line starts.
function lineStarts(text) {
    const out = [0];
    for (let i = 0; i < text.length; ++i) if (text[i] === '\n' && i + 1 < text.length) out.push(i + 1);
    return out;
}

const codeFrames = 'BPTOI';

const relayouts = {
    align(text, r) {
        const s = scan(text);
        const edits = [];
        for (const L of lineStarts(text)) {
            if (s.kind[L] !== 'c' || !'BO'.includes(s.frame[L])) continue;
            const m = /^([ \t]*)([A-Za-z_][\w-]*)([ \t]*)=([ \t]*)(?=[^=>])/.exec(text.slice(L, L + 300));
            if (!m || s.kind[L + m[1].length + m[2].length + m[3].length] !== 'c') continue;
            const at = L + m[1].length + m[2].length;
            edits.push({ at, remove: m[3].length + 1 + m[4].length,
                         insert: ' '.repeat(1 + Math.floor(r() * 5)) + '=' + ' '.repeat(1 + Math.floor(r() * 2)) });
        }
        return apply(text, edits);
    },
    indent(text, r) {
        const s = scan(text);
        const edits = [];
        for (const L of lineStarts(text)) {
            const m = /^[ \t]*/.exec(text.slice(L, L + 400));
            const first = L + m[0].length;
            const prev = L > 0 ? s.kind[L - 1] : 'c';
            if (first >= text.length || text[first] === '\n' || ((prev === 't' || prev === 'h') && s.kind[first] !== 'h'))
                continue;
            const indent = r() < 0.2 ? '\t' : ' '.repeat(Math.floor(r() * 7));
            edits.push({ at: L, remove: m[0].length, insert: indent });
        }
        for (const h of s.heredocs) {
            if (!h.dash) continue;
            const more = ' '.repeat(1 + Math.floor(r() * 4));
            for (const L of h.lines)
                if (/\S/.test(text.slice(L, text.indexOf('\n', L)))) edits.push({ at: L, remove: 0, insert: more });
        }
        return apply(text, edits);
    },
    blank(text, r) {
        const s = scan(text);
        const edits = [];
        for (let i = 0; i < text.length; ++i) {
            if (text[i] !== '\n' || s.kind[i] !== 'c') continue;
            const m = /^[ \t]*\n/.exec(text.slice(i + 1, i + 200));
            if (m && r() < 0.5) edits.push({ at: i + 1, remove: m[0].length, insert: '' });
            else if (!m && r() < 0.3) edits.push({ at: i + 1, remove: 0, insert: r() < 0.5 ? '\n' : '\n\n' });
        }
        return apply(text, edits);
    },
    brackets(text, r) {
        const s = scan(text);
        const edits = [];
        for (let i = 0; i < text.length; ++i) {
            if (s.kind[i] !== 'c') continue;
            const f = s.frame[i], c = text[i];
            if (c === ',' && 'PTO'.includes(f) && text[i + 1] === ' ' && r() < 0.6) {
                if (f === 'O' && r() < 0.5) edits.push({ at: i, remove: 2, insert: '\n' });
                else edits.push({ at: i + 1, remove: 1, insert: '\n  ' });
            } else if (c === ',' && 'PT'.includes(f) && /^\n[ \t]*/.test(text.slice(i + 1, i + 100)) && r() < 0.5) {
                const m = /^\n[ \t]*/.exec(text.slice(i + 1, i + 100));
                if (s.kind[i + 1 + m[0].length] === 'c' || s.kind[i + 1 + m[0].length] === 't')
                    edits.push({ at: i + 1, remove: m[0].length, insert: ' ' });
            } else if ((c === '(' || c === '[') && text[i + 1] !== '\n' && text[i + 1] !== '*' && r() < 0.3) {
                edits.push({ at: i + 1, remove: 0, insert: '\n' });
            } else if (c === '{' && s.frame[i + 1] === 'O' && text[i + 1] !== '\n' && r() < 0.5) {
                edits.push({ at: i + 1, remove: 0, insert: '\n' });
            } else if ((c === ')' || c === ']') && text[i - 1] !== '\n' && text[i - 1] !== '*' && r() < 0.3) {
                edits.push({ at: i, remove: 0, insert: '\n' });
            }
        }
        return apply(text, edits);
    },
    comments(text, r) {
        const s = scan(text);
        const edits = [];
        for (let i = 0; i < text.length; ++i) {
            if (text[i] === '\n' && s.kind[i] === 'c' && s.kind[i - 1] !== 'h' && 'BPTO'.includes(s.frame[i]) && r() < 0.3)
                edits.push({ at: i, remove: 0, insert: r() < 0.5 ? ' # note' : ' // note' });
            else if (text[i] === ' ' && s.kind[i] === 'c' && 'BPTO'.includes(s.frame[i]) && r() < 0.05)
                edits.push({ at: i, remove: 1, insert: r() < 0.5 ? ' /* c */ ' : ' /* c\n */ ' });
        }
        return apply(text, edits);
    },
    trailing(text, r) {
        const s = scan(text);
        const edits = [];
        for (let i = 0; i < text.length; ++i)
            if (text[i] === '\n' && s.kind[i] === 'c' && r() < 0.4)
                edits.push({ at: i, remove: 0, insert: r() < 0.5 ? '  ' : '\t ' });
        return apply(text, edits);
    },
};

// Each token mutant: the sites of text where it changes something, and the
// change at one.
const mutants = {
    number: (text, s) => sites(text, s, /[0-9]/g, (i) => s.kind[i] === 'c' && !/[\w.-]/.test(text[i - 1] || ' '),
                               (i) => ({ at: i, remove: 1, insert: String((+text[i] + 1) % 10) })),
    text: (text, s) => sites(text, s, /[A-Za-z]/g, (i) => s.kind[i] === 't', (i) => ({ at: i, remove: 0, insert: 'Z' })),
    split: (text, s) => sites(text, s, /[A-Za-z_][\w-]{2,}/g, (i) => s.kind[i] === 'c' && !/[\w-]/.test(text[i - 1] || ' '),
                              (i) => ({ at: i + 1, remove: 0, insert: ' ' })),
    joinline: (text, s) => sites(text, s, /[^\s{\n]\n[ \t]*[A-Za-z_]/g, (i) => s.kind[i + 1] === 'c' && s.frame[i + 1] === 'B' && s.kind[i] !== 'h',
                                 (i) => ({ at: i + 1, remove: /^\n[ \t]*/.exec(text.slice(i + 1))[0].length, insert: ' ' })),
    operator: (text, s) => sites(text, s, /==|!=|>=|<=|&&|\|\||[+*?]/g, (i) => s.kind[i] === 'c', (i) => {
        const swap = { '==': '!=', '!=': '==', '>=': '<=', '<=': '>=', '&&': '||', '||': '&&', '+': '-', '*': '/', '?': ':' };
        const op = /^(==|!=|>=|<=|&&|\|\||[+*?])/.exec(text.slice(i))[0];
        return { at: i, remove: op.length, insert: swap[op] };
    }),
    dash: (text, s) => sites(text, s, /[\w] - [A-Za-z_]/g, (i) => s.kind[i + 2] === 'c', (i) => ({ at: i + 1, remove: 3, insert: '-' })),
    strip: (text, s) => sites(text, s, /[$%]\{[^~]/g, (i) => s.kind[i] === 't', (i) => ({ at: i + 2, remove: 0, insert: '~' })),
    heredoc: (text, s) => {
        const out = [];
        for (const h of s.heredocs)
            if (h.dash)
                for (const L of h.lines)
                    if (/\S/.test(text.slice(L, text.indexOf('\n', L)))) out.push({ at: L, remove: 0, insert: ' ' });
        return out;
    },
};

function sites(text, s, re, ok, edit) {
    const out = [];
    for (let m; (m = re.exec(text));) {
        if (ok(m.index)) out.push(edit(m.index));
        re.lastIndex = m.index + 1;
    }
    return out;
}

function make(out, copies, files) {
    const dirs = ['orig', ...Object.keys(relayouts), 'mixed', ...Object.keys(mutants)];
    for (const d of dirs) fs.mkdirSync(path.join(out, d), { recursive: true });
    for (const file of files) {
        const text = fs.readFileSync(file, 'utf8');
        const ext = path.extname(file), base = path.basename(file, ext);
        const s = scan(text);
        const found = {};
        for (const [k, m] of Object.entries(mutants)) found[k] = m(text, s);
        for (let n = 0; n < copies; ++n) {
            const name = `${base}_${String(n).padStart(2, '0')}${ext}`;
            const put = (d, t) => fs.writeFileSync(path.join(out, d, name), t);
            put('orig', text);
            let mixed = text;
            for (const [k, f] of Object.entries(relayouts)) {
                put(k, f(text, random(n * 7 + k.length)));
                mixed = f(mixed, random(n * 13 + k.length));
            }
            put('mixed', mixed);
            for (const [k, list] of Object.entries(found)) {
                if (list.length === 0) continue;
                const site = list[Math.floor((n * list.length) / copies)];
                if (n > 0 && site === list[Math.floor(((n - 1) * list.length) / copies)]) continue;
                put(k, apply(text, [Object.assign({}, site)]));
            }
        }
    }
}

// --- Judging -----------------------------------------------------------------

// The tokens of an expression's source (from i in s, up to the '}' that
// closes an interpolation when inInterp), blanks, line ends, commas and
// comments left out, quoted strings as their templates' items.
function exprTokens(s, i, out, inInterp) {
    let depth = 0;
    while (i < s.length) {
        const c = s[i];
        if (/\s/.test(c) || c === ',') { ++i; continue; }
        if (c === '#' || (c === '/' && s[i + 1] === '/')) { while (i < s.length && s[i] !== '\n') ++i; continue; }
        if (c === '/' && s[i + 1] === '*') { const e = s.indexOf('*/', i + 2); i = e < 0 ? s.length : e + 2; continue; }
        if (c === '"') { out.push('"'); i = templateItems(s, i + 1, out, '"'); out.push('"'); continue; }
        if (inInterp && depth === 0 && (c === '}' || (c === '~' && s[i + 1] === '}'))) return c === '}' ? i + 1 : i + 2;
        if (c === '{') ++depth;
        if (c === '}') --depth;
        const m = /^([A-Za-z_][\w-]*|[0-9][0-9.eE+-]*|==|!=|>=|<=|&&|\|\||=>|\.\.\.|<<-?[A-Za-z_][\w-]*\n[\s\S]*?\n[ \t]*[A-Za-z_][\w-]*(?=\s)|.)/.exec(s.slice(i));
        out.push(m[0]);
        i += m[0].length;
    }
    return i;
}

// The items of a template from i in s, up to end ('"', or '' for the whole
// string): its text as written, each interpolation's tokens.
function templateItems(s, i, out, end) {
    let text = '';
    while (i < s.length) {
        const c = s[i];
        if (end && c === end) { out.push('T' + text); return i + 1; }
        if (c === '\\' && end) { text += s.slice(i, i + 2); i += 2; continue; }
        if ((c === '$' || c === '%') && s[i + 1] === c && s[i + 2] === '{') { text += s.slice(i, i + 3); i += 3; continue; }
        if ((c === '$' || c === '%') && s[i + 1] === '{') {
            out.push('T' + text, c + '{');
            text = '';
            i += 2;
            if (s[i] === '~') { out.push('~'); ++i; }
            i = exprTokens(s, i, out, true);
            out.push('}');
            continue;
        }
        text += c;
        ++i;
    }
    out.push('T' + text);
    return i;
}

function canonical(v) {
    if (typeof v === 'string') {
        if (!v.includes('${') && !v.includes('%{')) return v;
        const out = [];
        templateItems(v, 0, out, '');
        return out;
    }
    if (Array.isArray(v)) return v.map(canonical);
    if (v && typeof v === 'object') {
        const o = {};
        for (const k of Object.keys(v)) o[k] = canonical(v[k]);
        return o;
    }
    return v;
}

async function parsed(file) {
    try {
        return JSON.stringify(canonical(await hcl.parse(path.basename(file), fs.readFileSync(file, 'utf8'))));
    } catch (e) {
        return null;
    }
}

async function judge(a, dirs) {
    const names = fs.readdirSync(a).sort();
    const x = {};
    for (const name of names) x[name] = await parsed(path.join(a, name));
    for (const b of dirs) {
        for (const name of names) {
            if (!fs.existsSync(path.join(b, name))) continue;
            const y = await parsed(path.join(b, name));
            const verdict = x[name] === null || y === null ? 'unparsed' : x[name] === y ? 'same' : 'differ';
            console.log(`${path.basename(b)} ${name} ${verdict}`);
        }
    }
}

const [, , command, ...args] = process.argv;
if (command === 'make') make(args[0], +args[1], args.slice(2));
else if (command === 'judge') judge(args[0], args.slice(1));
else {
    console.error('usage: hcl_judge.js make OUT COPIES FILE... | judge DIR_A DIR_B...');
    process.exit(2);
}
