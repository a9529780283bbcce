// Pairs and verdicts for the script rewrite tests.
//   node rewrites.js format OUT FILE...  copies each FILE to OUT/orig/NNN.EXT
//     (a .d.ts as .ts) and writes prettier's output in each of its styles to
//     OUT/<style>/NNN.EXT (files prettier cannot format are left out);
//   node rewrites.js judge DIR_A DIR_B   prints, for each file of DIR_A that
//     DIR_B holds too, "NAME same", "NAME differ" or "NAME unparsed": whether
//     both parse to equal syntax trees without positions (acorn for .js,
//     TypeScript's parser for the rest). Literals compare by value (acorn's
//     raw dropped), parentheses (around an expression or a type) are no nodes, an empty statement in a
//     statement list or a class body is no node: it does nothing there, and
//     a property name written as a string or a number is the name it gives
//     (`'b': 1` is `b: 1`, `1: a` is `'1': a`); a regular expression's flags
//     compare as a set.
'use strict';
const fs = require('fs');
const path = require('path');

const styles = {
    prettier: {},
    nosemi: {semi: false},
    single: {singleQuote: true},
    commasnone: {trailingComma: 'none'},
    commasall: {trailingComma: 'all'},
    props: {quoteProps: 'consistent', singleQuote: true, semi: false, trailingComma: 'all'},
    consistent: {quoteProps: 'consistent'},
    arrowavoid: {arrowParens: 'avoid'},
};

async function format(out, files) {
    const prettier = require('prettier');
    for (const dir of ['orig', ...Object.keys(styles)])
        fs.mkdirSync(path.join(out, dir), {recursive: true});
    let n = 0;
    for (const file of files) {
        const ext = file.endsWith('.d.ts') ? '.ts' : path.extname(file);
        const name = String(++n).padStart(3, '0') + ext;
        const text = fs.readFileSync(file, 'utf8');
        fs.writeFileSync(path.join(out, 'orig', name), text);
        for (const [dir, options] of Object.entries(styles)) {
            try {
                fs.writeFileSync(path.join(out, dir, name), await prettier.format(text, {filepath: name, ...options}));
            } catch (e) {
                // prettier cannot parse it: no pair
            }
        }
    }
}

function scriptKind(ts, name) {
    if (name.endsWith('.tsx')) return ts.ScriptKind.TSX;
    if (name.endsWith('.ts')) return ts.ScriptKind.TS;
    return ts.ScriptKind.JS;
}

// JSX text as React reads it: lines trimmed, blank lines dropped, joined by one blank.
function jsxText(raw) {
    const lines = raw.split(/\r\n|\n|\r/);
    let lastNonEmpty = 0;
    lines.forEach((line, i) => { if (/[^ \t]/.test(line)) lastNonEmpty = i; });
    let out = '';
    lines.forEach((line, i) => {
        let t = line.replace(/\t/g, ' ');
        if (i > 0) t = t.replace(/^ +/, '');
        if (i < lines.length - 1) t = t.replace(/ +$/, '');
        if (t) out += i === lastNonEmpty ? t : t + ' ';
    });
    return out;
}

// A TypeScript node as a tree without positions, parentheses and empty
// statements; JSX children's texts and string children joined as React joins them.
const keyed = ['PropertyAssignment', 'PropertySignature', 'PropertyDeclaration', 'MethodDeclaration',
               'MethodSignature', 'GetAccessor', 'SetAccessor', 'EnumMember'];
const identifierName = /^[\p{ID_Start}_$][\p{ID_Continue}$\u200c\u200d]*$/u;

// A regular expression's flags as a set: their order means nothing.
const sortedFlags = (flags) => flags.split('').sort().join('');

// A property name as the name it gives: a string that is an identifier name as
// that name, a number as its string.
function tsKey(ts, node) {
    if (ts.isStringLiteral(node) && identifierName.test(node.text)) return {k: 'Identifier', t: node.text};
    if (ts.isStringLiteral(node) || ts.isNumericLiteral(node)) return {k: 'StringLiteral', t: String(
        ts.isNumericLiteral(node) ? Number(node.text) : node.text)};
    return null;
}

function tsTree(ts, node) {
    if (ts.isJsxText(node)) return {k: 'text', t: jsxText(node.text)};
    if (ts.isParenthesizedExpression(node)) return tsTree(ts, node.expression);
    if (ts.isParenthesizedTypeNode(node)) return tsTree(ts, node.type);
    const out = {k: ts.SyntaxKind[node.kind]};
    if (node.text !== undefined && !ts.isSourceFile(node)) out.t = node.text;
    if (node.kind === ts.SyntaxKind.RegularExpressionLiteral) {
        const close = node.text.lastIndexOf('/');
        out.t = node.text.slice(0, close + 1) + sortedFlags(node.text.slice(close + 1));
    }
    if (ts.isVariableDeclarationList(node)) out.f = node.flags & 7;
    const kids = [];
    ts.forEachChild(node, (c) => {
        const list = ts.isSourceFile(node) || ts.isBlock(node) || ts.isModuleBlock(node) || ts.isCaseClause(node) ||
            ts.isDefaultClause(node) || ts.isClassLike(node);
        if (list && (c.kind === ts.SyntaxKind.EmptyStatement || c.kind === ts.SyntaxKind.SemicolonClassElement)) return;
        const key = keyed.includes(ts.SyntaxKind[node.kind]) && c === node.name ? tsKey(ts, c) : null;
        kids.push(key || tsTree(ts, c));
    });
    if (ts.isJsxElement(node) || ts.isJsxFragment(node)) {
        const merged = [];
        for (const c of kids) {
            const str = c.k === 'JsxExpression' && c.c && c.c.length === 1 && c.c[0].k === 'StringLiteral' ? c.c[0].t : null;
            const text = c.k === 'text' ? c.t : str;
            const last = merged[merged.length - 1];
            if (text !== null && last && last.k === 'text') last.t += text;
            else if (text !== null) merged.push({k: 'text', t: text});
            else merged.push(c);
        }
        out.c = merged.filter((c) => c.k !== 'text' || c.t !== '');
    } else if (kids.length) {
        out.c = kids;
    }
    return out;
}

function tsJudge(name, a, b) {
    const ts = require('typescript');
    const parse = (text) => {
        const f = ts.createSourceFile(name, text, ts.ScriptTarget.Latest, true, scriptKind(ts, name));
        return f.parseDiagnostics.length ? null : JSON.stringify(tsTree(ts, f));
    };
    const ta = parse(a), tb = parse(b);
    return ta === null || tb === null ? 'unparsed' : ta === tb ? 'same' : 'differ';
}

// Drops the empty statements of statement lists from an acorn tree, and
// writes each property name that is a string or a number as the name it gives.
function dropEmpty(node) {
    if (Array.isArray(node)) return node.forEach(dropEmpty);
    if (!node || typeof node !== 'object') return;
    const keyed = ['Property', 'MethodDefinition', 'PropertyDefinition'].includes(node.type);
    if (keyed && !node.computed && node.key && node.key.type === 'Literal') {
        const v = node.key.value;
        if (typeof v === 'string' && identifierName.test(v)) node.key = {type: 'Identifier', name: v};
        else if (typeof v === 'number') node.key = {type: 'Literal', value: String(v)};
    }
    if (node.type === 'Literal' && node.regex) node.regex.flags = sortedFlags(node.regex.flags);
    for (const key of ['body', 'consequent']) {
        if (Array.isArray(node[key])) node[key] = node[key].filter((s) => !s || s.type !== 'EmptyStatement');
    }
    Object.values(node).forEach(dropEmpty);
}

function acornTree(text) {
    const acorn = require('acorn');
    for (const sourceType of ['module', 'script']) {
        try {
            const ast = acorn.parse(text, {ecmaVersion: 'latest', sourceType, allowHashBang: true,
                                           allowReturnOutsideFunction: true});
            dropEmpty(ast);
            return JSON.stringify(ast, (k, v) => (['start', 'end', 'loc', 'range', 'raw'].includes(k) ? undefined
                : typeof v === 'bigint' ? 'bigint:' + v.toString() : v));
        } catch (e) {
            // try the other source type
        }
    }
    return null;
}

function judge(dirA, dirB) {
    for (const name of fs.readdirSync(dirA).sort()) {
        const pb = path.join(dirB, name);
        if (!fs.existsSync(pb)) continue;
        const a = fs.readFileSync(path.join(dirA, name), 'utf8'), b = fs.readFileSync(pb, 'utf8');
        let tree;
        if (/\.[cm]?js$/.test(name)) {
            const ta = acornTree(a), tb = acornTree(b);
            tree = ta === null || tb === null ? 'unparsed' : ta === tb ? 'same' : 'differ';
        } else {
            tree = tsJudge(name, a, b);
        }
        console.log(`${name} ${tree}`);
    }
}

const [command, ...args] = process.argv.slice(2);
if (command === 'format') format(args[0], args.slice(1));
else if (command === 'judge') judge(args[0], args[1]);
