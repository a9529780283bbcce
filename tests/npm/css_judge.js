// Makes and judges the pairs of the CSS lexer's tests (CSS, SCSS and Less).
//
// node css_judge.js format OUT FILE...
//   copies each FILE to OUT/orig/NNN.EXT and writes, under the same names,
//   OUT/prettier (prettier's defaults), OUT/single (--single-quote),
//   OUT/narrow (--print-width 40), and three mutants of the file as it
//   stands: OUT/selector (a selector's blank between two parts removed),
//   OUT/values (two values of a declaration joined), OUT/string (a blank put
//   inside a string). Files prettier cannot format are left out of its
//   folders, and files with no place for a mutant out of its.
// node css_judge.js judge DIR_A DIR_B
//   prints, for each file of DIR_A that DIR_B holds too, "NAME same",
//   "NAME differ" or "NAME unparsed": postcss (postcss-scss for .scss,
//   postcss-less for .less) parses both into trees of rules, declarations
//   and at-rules, comments left out, whose selectors, values and preludes
//   are compared normalized: blanks collapsed, and dropped where CSS gives
//   them no meaning (around ',' and after '(' or before ')' anywhere, around
//   the combinators '>' '+' '~' and an attribute's '=' in selectors (where
//   an attribute's value that is a name is the string of that name, after
//   a namespace too), around ':' inside brackets of values and preludes),
//   an :nth-child() argument by its A and B; strings by their value (an
//   escaped quote as the quote); numbers with leading and trailing zeros dropped (one without a
//   unit keeps whether it has a fraction, its type: "1.0" is not "1"); hex colours in values, and in
//   .css units, without regard to case.
'use strict';
const fs = require('fs');
const path = require('path');

const TOKEN = new RegExp([
    '"(?:[^"\\\\\\n]|\\\\[\\s\\S])*"?',           // a string
    "'(?:[^'\\\\\\n]|\\\\[\\s\\S])*'?",
    '/\\*[\\s\\S]*?(?:\\*/|$)',                    // a comment
    '[ \\t\\r\\n\\f]+',                             // blanks
    '[#$@%]?-*(?:[A-Za-z_\\u0080-\\uffff]|\\\\[\\s\\S])(?:[-\\w\\u0080-\\uffff]|\\\\[\\s\\S])*',  // a name
    '#(?:[-\\w\\u0080-\\uffff]|\\\\[\\s\\S])+',   // a hash
    '[+-]?(?:\\d+(?:\\.\\d+)?|\\.\\d+)(?:[eE][+-]?\\d+)?(?:%|[A-Za-z_][-\\w]*)?',  // a number
    '[\\s\\S]',                                     // any other character
].join('|'), 'g');

function stringValue(s) {
    const q = s[0];
    const closed = s.length > 1 && s[s.length - 1] === q;
    const body = closed ? s.slice(1, -1) : s.slice(1);
    return 'S' + (closed ? '' : '!') + body.replace(/\\(["'])/g, '$1');
}

function numberValue(t, units) {
    const m = /^([+-]?)(\d*)(?:\.(\d+))?(?:[eE]([+-]?)(\d+))?(.*)$/.exec(t);
    let int = m[2].replace(/^0+/, '') || '0';
    let out = m[1] + int;
    const fraction = m[3] === undefined ? undefined : m[3].replace(/0+$/, '');
    if (fraction) out += '.' + fraction;
    else if (fraction !== undefined && !m[6]) out += '.0';  // a number without a unit keeps its type
    if (m[5] !== undefined) out += 'e' + (m[4] === '-' ? '-' : '') + (m[5].replace(/^0+/, '') || '0');
    return out + (units ? m[6].toLowerCase() : m[6]);
}

// An An+B argument ("2n+1", "-n + 3", "odd") as "AnB" by its values, or
// null where it is none: no blank between a sign and its n or A and its n,
// a sign before B.
function anb(arg) {
    if (/^odd$/i.test(arg)) return '2n+1';
    if (/^even$/i.test(arg)) return '2n+0';
    if (/^[+-]?\d+$/.test(arg)) return '0n+' + Number(arg);
    const m = /^([+-]?)(\d*)n(?:\s*([+-])\s*(\d+))?$/i.exec(arg);
    if (!m) return null;
    const a = (m[1] === '-' ? -1 : 1) * (m[2] === '' ? 1 : Number(m[2]));
    const b = m[3] === undefined ? 0 : (m[3] === '-' ? -1 : 1) * Number(m[4]);
    return a + 'n+' + b;
}

// The text of a selector (selector true), a value or a prelude, normalized.
function normal(text, selector, css) {
    if (selector)
        text = String(text).replace(/:(nth-(?:last-)?(?:child|of-type|col))\(([^()]*)\)/gi, (m, name, arg) => {
            const v = anb(arg.trim());
            return v === null ? m : ':' + name.toLowerCase() + '(' + v + ')';
        });
    const tokens = [];
    let depth = 0;
    for (const t of String(text).match(TOKEN) || []) {
        if (t.startsWith('/*')) {
            tokens.push({k: 'c', t: '\u0001'});
            continue;
        }
        let k = 'o', v = t;
        if (/^[ \t\r\n\f]/.test(t)) { k = 'b'; v = ' '; }
        else if (t[0] === '"' || t[0] === "'") { k = 's'; v = stringValue(t); }
        else if (/^[+-]?[\d.]/.test(t) && t.length > 1 || /^\d/.test(t)) { k = 'n'; v = numberValue(t, css && !selector); }
        else if (!selector && /^#([0-9a-f]{3,4}|[0-9a-f]{6}|[0-9a-f]{8})$/i.test(t)) v = t.toLowerCase();
        if (t === '(' || t === '[') ++depth;
        if (t === ')' || t === ']') --depth;
        tokens.push({k, t: v, depth});
    }
    // An attribute selector's value that is a name reads as the string of that name.
    if (selector) {
        const real = tokens.filter((t) => t.k !== 'b');
        for (let i = 3; i < real.length; ++i) {
            const op = real[i - 1].t === '=' ? (/^[~|^$*]$/.test(real[i - 2].t) ? i - 2 : i - 1) : -1;
            if (op < 1 || real[op - 1].k !== 'o' || !/^-?-?[A-Za-z_\u0080-\uffff][-\w\u0080-\uffff]*$/.test(real[op - 1].t))
                continue;
            // A namespace before the name: "[ns|a=b]", "[*|a=b]", "[|a=b]".
            const ns = real[op - 2] && real[op - 2].t === '|' &&
                ((real[op - 3] && real[op - 3].t === '[') ||
                 (real[op - 4] && real[op - 4].t === '[' && (real[op - 3].t === '*' || real[op - 3].k === 'o')));
            if (real[op - 2] && (real[op - 2].t === '[' || ns) && real[i].k === 'o' && /^-?-?[A-Za-z_\u0080-\uffff][-\w\u0080-\uffff]*$/.test(real[i].t)) {
                real[i].k = 's';
                real[i].t = 'S' + real[i].t;
            }
        }
    }
    // Comments between blanks or at an end go; one between two tokens stays as a mark.
    const kept = tokens.filter((t, i) => t.k !== 'c' || (i > 0 && i < tokens.length - 1 &&
                                                         tokens[i - 1].k !== 'b' && tokens[i + 1].k !== 'b'));
    const loose = (t, i) => t === ',' || t === ';' || t === '{' || t === '}' || t === ')' || t === ']' ||
        (selector && (t === '>' || t === '~' || t === '+' || (t === '=' && kept[i].depth > 0))) ||
        (!selector && t === ':' && kept[i].depth > 0) || (!selector && t === '!');
    let out = '';
    for (let i = 0; i < kept.length; ++i) {
        const t = kept[i];
        if (t.k === 'b') {
            const prev = kept[i - 1], next = kept[i + 1];
            if (!prev || !next) continue;
            if (loose(prev.t, i - 1) && prev.t !== ')' && prev.t !== ']') continue;
            if (prev.t === '(' || prev.t === '[' || /\($/.test(prev.t)) continue;
            if (loose(next.t, i + 1) && !(next.t === '!' && false)) continue;
            out += ' ';
            continue;
        }
        out += (t.k === 's' || t.k === 'n' ? '\u0002' : '') + t.t + '\u0003';
    }
    return out;
}

function parser(name) {
    if (name.endsWith('.scss')) return require('postcss-scss');
    if (name.endsWith('.less')) return require('postcss-less');
    return require('postcss');
}

function tree(node, css) {
    const out = {type: node.type};
    if (node.type === 'rule') out.selector = normal(node.selector, true, css);
    if (node.type === 'decl') {
        out.prop = node.prop;
        out.value = normal(node.value, false, css);
        out.important = !!node.important;
    }
    if (node.type === 'atrule') {
        out.name = node.name;
        out.params = normal(node.params, false, css);
    }
    for (const key of ['mixin', 'function', 'variable', 'extend', 'isNested'])
        if (node[key]) out[key] = node[key];
    if (node.nodes) out.nodes = node.nodes.filter((n) => n.type !== 'comment').map((n) => tree(n, css));
    return out;
}

function parse(file) {
    const text = fs.readFileSync(file, 'utf8');
    try {
        const p = parser(file);
        const root = (p.parse ? p.parse : p().process)(text, {from: file});
        return JSON.stringify(tree(root, file.endsWith('.css')));
    } catch (e) {
        return null;
    }
}

function judge(a, b) {
    for (const name of fs.readdirSync(a).sort()) {
        if (!fs.existsSync(path.join(b, name))) continue;
        const ta = parse(path.join(a, name)), tb = parse(path.join(b, name));
        console.log(name + ' ' + (ta === null || tb === null ? 'unparsed' : ta === tb ? 'same' : 'differ'));
    }
}

// The mutants of text: the first place each kind of change finds, or null.
function mutants(text, name) {
    const out = {};
    const root = (() => {
        try { return parser(name).parse(text, {from: name}); } catch (e) { return null; }
    })();
    if (!root) return out;
    const cut = (start, index) => text.slice(0, start + index) + text.slice(start + index + 1);
    root.walk((node) => {
        if (!node.source || !node.source.start) return;
        const start = node.source.start.offset;
        if (!out.selector && node.type === 'rule' && !/[#@$%{]/.test(node.selector)) {
            const at = text.indexOf(node.selector, start);
            const m = at === start ? /[\w\])] +[\w.#[:]/.exec(node.selector) : null;
            if (m) out.selector = cut(at, m.index + 1);
        }
        if (!out.values && node.type === 'decl' && !node.prop.startsWith('--')) {
            const at = text.indexOf(node.value, start);
            const m = at > start ? /[\w%)] +[\w#]/.exec(node.value) : null;
            if (m && !/["'\/]/.test(node.value)) out.values = cut(at, m.index + 1);
        }
    });
    const s = /(["'])[A-Za-z]/.exec(text.replace(/\/\*[\s\S]*?\*\//g, (c) => ' '.repeat(c.length)));
    if (s) out.string = text.slice(0, s.index + 1) + ' ' + text.slice(s.index + 1);
    return out;
}

async function format(out, files) {
    const prettier = require('prettier');
    const dirs = ['orig', 'prettier', 'single', 'narrow', 'selector', 'values', 'string'];
    for (const dir of dirs)
        fs.mkdirSync(path.join(out, dir), {recursive: true});
    let n = 0;
    for (const file of files) {
        const name = String(++n).padStart(3, '0') + path.extname(file);
        const text = fs.readFileSync(file, 'utf8');
        fs.writeFileSync(path.join(out, 'orig', name), text);
        const styles = {prettier: {}, single: {singleQuote: true}, narrow: {printWidth: 40}};
        for (const [dir, options] of Object.entries(styles)) {
            try {
                fs.writeFileSync(path.join(out, dir, name), await prettier.format(text, {filepath: name, ...options}));
            } catch (e) {
                // Left out.
            }
        }
        for (const [dir, mutant] of Object.entries(mutants(text, name)))
            fs.writeFileSync(path.join(out, dir, name), mutant);
    }
}

const [command, ...args] = process.argv.slice(2);
if (command === 'judge') judge(args[0], args[1]);
else if (command === 'format') format(args[0], args.slice(1)).catch((e) => { console.error(e); process.exit(1); });
else { console.error('usage: css_judge.js format OUT FILE... | judge DIR_A DIR_B'); process.exit(2); }
