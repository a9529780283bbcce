// Judges pairs of JavaScript or TypeScript files with real parsers, for the
// script lexer's tests: node judge.js DIR_A DIR_B prints, for each file of
// DIR_A that DIR_B holds too, one line
//   NAME TREE TOKENS
// TREE: "same" when both parse to equal syntax trees without positions
// (acorn for .js, TypeScript for the rest), "differ", or "unparsed";
// TOKENS: "same" when both hold the same tokens by spelling with a ';' where
// the parser inserted one (TypeScript's view; JSX text as React reads it, a
// {" "} child a blank), else "differ".
'use strict';
const fs = require('fs');
const path = require('path');
const acorn = require('acorn');
const ts = require('typescript');

function scriptKind(name) {
    if (name.endsWith('.tsx')) return ts.ScriptKind.TSX;
    if (name.endsWith('.ts')) return ts.ScriptKind.TS;
    if (name.endsWith('.jsx')) return ts.ScriptKind.JSX;
    return ts.ScriptKind.JS;
}

function tsParse(name, text) {
    const file = ts.createSourceFile(name, text, ts.ScriptTarget.Latest, true, scriptKind(name));
    return file.parseDiagnostics.length ? null : file;
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

// A TypeScript node as a tree without positions; JSX children's texts and
// string children joined as React joins them.
function tsTree(node) {
    if (ts.isJsxText(node)) return {k: 'text', t: jsxText(node.text)};
    if (ts.isParenthesizedExpression(node)) return tsTree(node.expression);  // acorn keeps none either
    const out = {k: ts.SyntaxKind[node.kind]};
    if (node.text !== undefined && !ts.isSourceFile(node)) out.t = node.text;
    if (ts.isVariableDeclarationList(node)) out.f = node.flags & 7;
    const kids = [];
    ts.forEachChild(node, (c) => { kids.push(tsTree(c)); });
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

function acornTree(text) {
    for (const sourceType of ['module', 'script']) {
        try {
            const ast = acorn.parse(text, {ecmaVersion: 'latest', sourceType, allowHashBang: true,
                                            allowReturnOutsideFunction: true});
            return JSON.stringify(ast, (k, v) => (['start', 'end', 'loc', 'range', 'raw'].includes(k) ? undefined : v));
        } catch (e) {
            // try the other source type
        }
    }
    return null;
}

// Statements and members that end at a ';' the parser may insert.
const terminated = new Set([
    'VariableStatement', 'ExpressionStatement', 'ReturnStatement', 'BreakStatement', 'ContinueStatement',
    'ThrowStatement', 'DoStatement', 'DebuggerStatement', 'ImportDeclaration', 'ExportDeclaration',
    'ExportAssignment', 'ImportEqualsDeclaration', 'TypeAliasDeclaration', 'PropertyDeclaration',
    'PropertySignature', 'MethodSignature', 'IndexSignature', 'CallSignature', 'ConstructSignature',
    'NamespaceExportDeclaration',
]);

// The tokens by spelling, with ';' where a statement ends without one.
function tsTokens(file) {
    const out = [];
    // JSX text as React reads it, a {" "} child a blank, runs of them one token.
    const text = (t) => {
        if (out.length && out[out.length - 1].startsWith('\u0001')) out[out.length - 1] += t;
        else out.push('\u0001' + t);
    };
    const walk = (node) => {
        if (ts.isJsxText(node)) {
            text(jsxText(node.text));
            return;
        }
        if (ts.isJsxExpression(node) && node.expression && ts.isStringLiteral(node.expression) &&
            node.expression.text === ' ' && node.parent && !ts.isJsxAttribute(node.parent)) {
            text(' ');
            return;
        }
        const kids = node.getChildren(file);
        if (!kids.length && node.kind !== ts.SyntaxKind.EndOfFileToken && node.kind !== ts.SyntaxKind.SyntaxList) {
            out.push(node.getText(file));
            return;
        }
        kids.forEach(walk);
        const kind = ts.SyntaxKind[node.kind];
        const noBody = (ts.isFunctionDeclaration(node) || ts.isMethodDeclaration(node)) && !node.body;
        if (terminated.has(kind) || noBody) {
            const last = out[out.length - 1];
            if (last !== ';' && last !== ',') out.push(';');
        }
    };
    walk(file);
    return out.join('\u0000');
}

function judge(name, a, b) {
    const fa = tsParse(name, a), fb = tsParse(name, b);
    let tree;
    if (name.endsWith('.js') || name.endsWith('.mjs') || name.endsWith('.cjs')) {
        const ta = acornTree(a), tb = acornTree(b);
        tree = ta === null || tb === null ? 'unparsed' : ta === tb ? 'same' : 'differ';
    } else {
        tree = !fa || !fb ? 'unparsed'
            : JSON.stringify(tsTree(fa)) === JSON.stringify(tsTree(fb)) ? 'same' : 'differ';
    }
    const tokens = fa && fb && tsTokens(fa) === tsTokens(fb) ? 'same' : 'differ';
    return `${name} ${tree} ${tokens}`;
}

const [dirA, dirB] = process.argv.slice(2);
for (const name of fs.readdirSync(dirA).sort()) {
    const pb = path.join(dirB, name);
    if (!fs.existsSync(pb)) continue;
    console.log(judge(name, fs.readFileSync(path.join(dirA, name), 'utf8'), fs.readFileSync(pb, 'utf8')));
}
