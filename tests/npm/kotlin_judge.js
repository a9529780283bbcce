// Makes Kotlin pairs judged by tree-sitter's Kotlin grammar, for the Kotlin
// lexer's tests.
//
//   node kotlin_judge.js OUT FILE...
// parses each FILE (one that does not parse is left out) and writes pairs
// of the same name to OUT/a (the file as it is) and OUT/b (one edit of it),
// and to OUT/verdicts one line per pair:
//   NAME KIND same|differ
// Relayout edits move blanks and line breaks between the parse tree's
// leaves: as a formatter does (KIND break, join, blank, tight, spaced,
// reindent), or line breaks anywhere (anywhere, joinany); the pair is "same"
// when the edited file parses with the same leaves (comments aside) and the
// same tree, "differ" when it parses to another; one that does not parse is
// left out. Token edits (rename, joined, content, indent, number, operator)
// change a leaf, and the pair is "differ" when the leaves differ, whether
// the edited file parses or not.
'use strict';
const fs = require('fs');
const path = require('path');
const Parser = require('web-tree-sitter');

const kPerKind = 30;  // edits of one kind made of one file, spread over it

// The leaves of tree in order, each {type, text, start, end, parent, grand}
// (the types of the nodes above it); a string's opening delimiter, which the
// grammar keeps out of its leaves, as a leaf.
function leaves(tree) {
    const out = [];
    const c = tree.walk();
    const leaf = (type, text, start, end) => {
        const up = c.currentNode.parent;
        out.push({type, text, start, end, parent: up ? up.type : '', grand: up && up.parent ? up.parent.type : ''});
    };
    const visit = () => {
        // A character literal's quotes are no leaves either: the literal is one.
        if (c.nodeType === 'character_literal') {
            leaf(c.nodeType, c.nodeText, c.startIndex, c.endIndex);
            return;
        }
        if (c.nodeType === 'string_literal') {
            const t = c.nodeText;
            const quote = t.startsWith('"""') ? '"""' : '"';
            leaf('quote', quote, c.startIndex, c.startIndex + quote.length);
        }
        if (c.gotoFirstChild()) {
            do visit(); while (c.gotoNextSibling());
            c.gotoParent();
        } else {
            leaf(c.nodeType, c.nodeText, c.startIndex, c.endIndex);
        }
    };
    visit();
    return out;
}

// The innermost bracket open before each leaf of ls: '(', '[', '{' (a
// template's "${" too) or '' at the top.
function brackets(ls) {
    const stack = [], out = [];
    for (const l of ls) {
        out.push(stack.length ? stack[stack.length - 1] : '');
        if (l.type !== l.text && l.type !== '${') continue;
        if (['(', '[', '{', '${'].includes(l.text)) stack.push(l.text === '${' ? '{' : l.text);
        else if ([')', ']', '}'].includes(l.text)) stack.pop();
    }
    return out;
}

// What the Kotlin compiler makes of a line break put in gap x, where
// tree-sitter's grammar reads on across it and the compiler does not:
// outside parentheses and brackets the compiler ends the statement before a
// call's trailing lambda, its arguments, an index, and a binary '+' or '-'
// (the next line is a statement of its own: 'differ'); it refuses an
// assignment's '=' or "+=" on the next line, and a package or import header
// split over two lines ('refused'). Else null: tree-sitter's verdict stands.
function compilerBreak(x) {
    if (x.bracket === '(' || x.bracket === '[') return null;
    const b = x.before, a = x.after;
    if (b.text === 'package' || b.text === 'import') return 'refused';
    if (a.type !== a.text) return null;
    if (a.parent === 'assignment' && /^[-+*/%]?=$/.test(a.text)) return 'refused';
    if ((a.text === '+' || a.text === '-') && a.parent === 'additive_expression') return 'differ';
    if (a.text === '{' && a.parent === 'lambda_literal' && a.grand === 'annotated_lambda') return 'differ';
    if ((a.text === '(' && a.parent === 'value_arguments') || (a.text === '[' && a.parent === 'indexing_suffix'))
        return 'differ';
    return null;
}

// What a parse says of text: its leaves' words (comments left out) and its
// tree, or null when it does not parse.
function reading(parser, text) {
    const tree = parser.parse(text);
    const words = leaves(tree).filter((l) => l.type !== 'comment').map((l) => l.type + ' ' + l.text).join('\n');
    // A blank line splits the grammar's list of imports in two: one list.
    const shape = tree.rootNode.toString().replace(/\) \(import_list /g, ' ');
    return {error: tree.rootNode.hasError, words, shape};
}

// Byte offsets: tree-sitter counts UTF-16 units in a JavaScript string; the
// corpus is ASCII but for its strings, whose content the edits never cut.
const splice = (text, start, end, by) => text.slice(0, start) + by + text.slice(end);

// Up to n items of list, spread evenly.
function spread(list, n) {
    if (list.length <= n) return list;
    const out = [];
    for (let k = 0; k < n; ++k) out.push(list[Math.floor((k * list.length) / n)]);
    return out;
}

// Where the annotations of tree end.
function annotationEnds(tree) {
    const ends = new Set();
    const c = tree.walk();
    const visit = () => {
        if (c.nodeType === 'annotation' || c.nodeType === 'file_annotation') ends.add(c.endIndex);
        if (c.gotoFirstChild()) {
            do visit(); while (c.gotoNextSibling());
            c.gotoParent();
        }
    };
    visit();
    return ends;
}

// The gaps between leaves that hold only blanks and line ends, each noting
// whether an annotation ends before it.
function gaps(text, ls, annotated) {
    const out = [];
    const open = brackets(ls);
    for (let i = 1; i < ls.length; ++i) {
        const start = ls[i - 1].end, end = ls[i].start;
        const gap = text.slice(start, end);
        if (/^[ \t\r\n]*$/.test(gap))
            out.push({start, end, gap, before: ls[i - 1], after: ls[i], annotation: annotated.has(start), bracket: open[i]});
    }
    return out;
}

const isWord = (l) => /^[A-Za-z_][A-Za-z_0-9]*$/.test(l.text);

// Where a formatter breaks a line: after these leaves and after an
// annotation, and before those leaves.
const breakAfter = new Set(['(', '[', ',', '{', '=', '->', '+', '-', '&&', '||', '?:', ':']);
const breakBefore = new Set(['.', '?.', '?:', '&&', '||', ')', ']', '}']);
const formatterBreak = (x) => breakAfter.has(x.before.text) || breakBefore.has(x.after.text) || x.annotation;

// Each kind of edit: the edited texts of text. Those a formatter makes
// first; then line breaks put in and taken out anywhere (anywhere, joinany).
const relayouts = {
    break: (text, g) => spread(g.filter((x) => /^[ \t]+$/.test(x.gap) && formatterBreak(x)), kPerKind)
        .map((x) => ({edited: splice(text, x.start, x.end, '\n        '), compiler: compilerBreak(x)})),
    join: (text, g) => spread(g.filter((x) => x.gap.includes('\n') && formatterBreak(x)), kPerKind)
        .map((x) => splice(text, x.start, x.end, ' ')),
    blank: (text, g) => spread(g.filter((x) => x.gap.includes('\n')), kPerKind).map((x) => splice(text, x.start, x.end, '\n' + x.gap)),
    tight: (text, g) => spread(g.filter((x) => /^[ \t]+$/.test(x.gap)), kPerKind).map((x) => splice(text, x.start, x.end, '')),
    spaced: (text, g) => spread(g.filter((x) => x.gap === ''), kPerKind).map((x) => splice(text, x.start, x.end, ' ')),
    reindent: (text, g) => {
        let out = text;
        for (const x of g.slice().reverse())
            if (x.gap.includes('\n')) out = splice(out, x.start, x.end, x.gap + '  ');
        return [out];
    },
    anywhere: (text, g) => spread(g.filter((x) => /^[ \t]+$/.test(x.gap)), kPerKind)
        .map((x) => ({edited: splice(text, x.start, x.end, '\n        '), compiler: compilerBreak(x)})),
    joinany: (text, g) => spread(g.filter((x) => x.gap.includes('\n')), kPerKind).map((x) => splice(text, x.start, x.end, ' ')),
};

const tokenEdits = {
    rename: (text, ls) => spread(ls.filter((l) => l.type === 'simple_identifier'), kPerKind).map((l) => splice(text, l.end, l.end, 'x')),
    joined: (text, ls) => {
        const out = [];
        for (let i = 1; i < ls.length; ++i)
            if (isWord(ls[i - 1]) && isWord(ls[i]) && /^[ \t]+$/.test(text.slice(ls[i - 1].end, ls[i].start)))
                out.push(splice(text, ls[i - 1].end, ls[i].start, ''));
        return spread(out, kPerKind);
    },
    content: (text, ls) => spread(ls.filter((l) => l.type === 'string_content' && l.text.length > 1), kPerKind)
        .map((l) => splice(text, l.start + 1, l.start + 1, ' ')),
    indent: (text, ls) => spread(ls.filter((l) => l.type === 'string_content' && /\n./.test(l.text)), kPerKind)
        .map((l) => { const k = l.start + l.text.indexOf('\n') + 1; return splice(text, k, k, ' '); }),
    number: (text, ls) => spread(ls.filter((l) => l.type === 'integer_literal' && /^[1-9]/.test(l.text)), kPerKind)
        .map((l) => splice(text, l.start, l.start, '1')),
    operator: (text, ls) => spread(ls.filter((l) => ['+', '-', '&&', '||', '==', '<'].includes(l.text) && l.type === l.text), kPerKind)
        .map((l) => splice(text, l.start, l.end, {'+': '-', '-': '+', '&&': '||', '||': '&&', '==': '!=', '<': '>'}[l.text])),
};

async function main(out, files) {
    await Parser.init();
    const language = await Parser.Language.load(path.join(__dirname, 'node_modules/tree-sitter-wasms/out/tree-sitter-kotlin.wasm'));
    const parser = new Parser();
    parser.setLanguage(language);
    for (const dir of ['a', 'b']) fs.mkdirSync(path.join(out, dir), {recursive: true});
    const verdicts = [];
    let n = 0;
    for (const file of files) {
        const text = fs.readFileSync(file, 'utf8');
        const original = reading(parser, text);
        if (original.error || /[^\x00-\x7f]/.test(text)) continue;
        const ending = file.endsWith('.kts') ? '.kts' : '.kt';
        const tree = parser.parse(text);
        const ls = leaves(tree);
        const g = gaps(text, ls, annotationEnds(tree));
        const write = (kind, edited, verdict) => {
            const name = String(++n).padStart(4, '0') + '-' + kind + ending;
            fs.writeFileSync(path.join(out, 'a', name), text);
            fs.writeFileSync(path.join(out, 'b', name), edited);
            verdicts.push(`${name} ${kind} ${verdict}`);
        };
        for (const [kind, make] of Object.entries(relayouts)) {
            for (const made of make(text, g)) {
                // A line break put in: the compiler's reading where it differs from tree-sitter's.
                const {edited, compiler} = typeof made === 'string' ? {edited: made, compiler: null} : made;
                const r = reading(parser, edited);
                if (r.error || edited === text || compiler === 'refused') continue;
                const same = r.words === original.words && r.shape === original.shape && compiler !== 'differ';
                write(kind, edited, same ? 'same' : 'differ');
            }
        }
        for (const [kind, make] of Object.entries(tokenEdits)) {
            for (const edited of make(text, ls)) {
                const r = reading(parser, edited);
                if (r.words !== original.words) write(kind, edited, 'differ');
            }
        }
    }
    fs.writeFileSync(path.join(out, 'verdicts'), verdicts.join('\n') + '\n');
}

const [out, ...files] = process.argv.slice(2);
main(out, files).catch((e) => { console.error(e); process.exit(1); });
