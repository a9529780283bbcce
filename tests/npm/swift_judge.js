// Makes Swift pairs judged by tree-sitter's Swift grammar, for the Swift
// lexer's tests. No Swift formatter runs here, so relayout mutants stand in
// for one.
//
//   node swift_judge.js make OUT FILE...
// for each FILE that the grammar reads without error, writes pairs of the
// same name NNN_KIND_K.swift to OUT/orig (the file) and OUT/mutant (a copy
// changed), and one line per pair to OUT/verdicts:
//   NAME same|differ|unread
// Relayout kinds move blanks and line breaks where a formatter would: blanks
// between tokens made wider or narrower but never none (spaces), lines
// re-indented and blank lines added (indent), line breaks after , ( [ { = ->
// and binary operators and before closing brackets (break), such breaks taken
// out (join), all of these (all), and the whole file shifted right, multi-line
// strings with their closing delimiters too (shift). Token kinds change what
// a compiler reads: two names joined (joined), a name changed (renamed) or
// split (split), a blank put into a string (blank), a number changed
// (number), an operator changed (operator), a line break put between two
// tokens (newline), and one line of a multi-line string re-indented (indent1).
// "same" when the mutant parses without error to the same tree (node types
// and shape), the same tokens (leaves other than comments, by text) and the
// same string and regular-expression literals (by text; for shift, less the
// indentation it added); "differ" when it parses to another; "unread" when
// it does not parse. A relayout mutant that the grammar calls different is
// dropped, and so is a token mutant that it calls the same; the newline
// kind's mutants that it calls the same are kept, as "ignored" (a line break
// Swift reads but the grammar does not), for the count.
'use strict';
const fs = require('fs');
const path = require('path');
const Parser = require('web-tree-sitter');

const grammar = path.join(__dirname, 'node_modules', 'tree-sitter-wasms', 'out', 'tree-sitter-swift.wasm');
const VARIANTS = 8;  // mutants of each kind per file

function random(seed) {
    return () => {
        seed = (seed + 0x6D2B79F5) | 0;
        let t = Math.imul(seed ^ (seed >>> 15), 1 | seed);
        t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
        return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
    };
}

const isLiteral = (type) => /string_literal|regex_literal/.test(type);
const isComment = (type) => /comment/.test(type);

// The leaves of text's tree with the gaps before them, the literals' texts,
// the tree's shape; null when it does not parse.
function read(parser, text) {
    const tree = parser.parse(text);
    if (tree.rootNode.hasError)
        return null;
    const leaves = [], literals = [], spans = [];
    const c = tree.walk();
    const visit = (inLiteral) => {
        const n = c.currentNode;
        const literal = inLiteral || isLiteral(n.type);
        if (isLiteral(n.type) && !inLiteral) {
            literals.push(n.text);
            spans.push([n.startIndex, n.endIndex]);
        }
        if (n.childCount === 0 && n.endIndex > n.startIndex)
            leaves.push({type: n.type, text: n.text, start: n.startIndex, end: n.endIndex, literal});
        if (c.gotoFirstChild()) {
            do visit(literal); while (c.gotoNextSibling());
            c.gotoParent();
        }
    };
    visit(false);
    return {leaves, literals, spans, shape: tree.rootNode.toString()};
}

// "same", "differ" or "unread" for text b against text a (a's reading ra).
function judge(parser, ra, b, unshift) {
    const rb = read(parser, b);
    if (!rb)
        return 'unread';
    if (ra.shape !== rb.shape)
        return 'differ';
    const code = (r) => r.leaves.filter((l) => !isComment(l.type) && !l.literal).map((l) => l.type + ' ' + l.text);
    const ca = code(ra), cb = code(rb);
    if (ca.length !== cb.length || ca.some((x, i) => x !== cb[i]))
        return 'differ';
    const lb = unshift ? rb.literals.map((t) => t.replace(/\n {2}/g, '\n')) : rb.literals;
    return ra.literals.every((t, i) => t === lb[i]) && ra.literals.length === lb.length ? 'same' : 'differ';
}

// The gaps between leaves outside literals: [start, end, before, after].
function gaps(r) {
    const out = [];
    for (let i = 1; i < r.leaves.length; ++i) {
        const a = r.leaves[i - 1], b = r.leaves[i];
        if (a.literal && b.literal && r.spans.some(([s, e]) => s <= a.start && b.end <= e))
            continue;
        out.push({start: a.end, end: b.start, before: a, after: b});
    }
    return out;
}

// Rewrites text's gaps: change(gap, text) gives the gap's new text or null.
function regap(text, r, change) {
    let out = '', at = 0;
    for (const g of gaps(r)) {
        const now = change(g, text.slice(g.start, g.end));
        if (now === null)
            continue;
        out += text.slice(at, g.start) + now;
        at = g.end;
    }
    return out + text.slice(at);
}

const opens = new Set([',', '(', '[', '{', '=', '->', ':']);
const closes = new Set([')', ']', '}']);
const binary = new Set(['+', '-', '*', '/', '&&', '||', '??', '==', '!=', '<', '>', '<=', '>=', '...', '..<']);
const indentation = (rnd) => ' '.repeat(Math.floor(rnd() * 9));

const relayouts = {
    spaces(text, r, rnd) {
        return regap(text, r, (g, s) => (/^[ \t]+$/.test(s) && rnd() < 0.5 ? ' '.repeat(1 + Math.floor(rnd() * 3)) : null));
    },
    indent(text, r, rnd) {
        return regap(text, r, (g, s) => {
            if (!s.includes('\n'))
                return null;
            return s.replace(/\n[ \t]*/g, () => (rnd() < 0.3 ? '\n\n' : '\n') + indentation(rnd));
        });
    },
    break(text, r, rnd) {
        return regap(text, r, (g, s) => {
            if (s.includes('\n') || rnd() >= 0.3)
                return null;
            const spacedBinary = binary.has(g.before.text) && s.length > 0 &&
                text[g.before.start - 1] === ' ';
            if (opens.has(g.before.text) || spacedBinary || closes.has(g.after.text))
                return '\n' + indentation(rnd);
            return null;
        });
    },
    join(text, r, rnd) {
        return regap(text, r, (g, s) => {
            if (!/^[ \t]*\n[ \t\n]*$/.test(s) || isComment(g.before.type) || rnd() >= 0.4)
                return null;
            return [',', '(', '[', '{'].includes(g.before.text) || closes.has(g.after.text) ? ' ' : null;
        });
    },
    all(text, r, rnd, again) {
        let t = relayouts.spaces(text, r, rnd);
        const r2 = again(t);
        if (!r2)
            return t;
        t = relayouts.indent(t, r2, rnd);
        const r3 = again(t);
        return r3 ? relayouts.break(t, r3, rnd) : t;
    },
    shift(text) {
        return text.replace(/^(?=[^\n])/gm, '  ');
    },
};

// Token mutants: each returns the changed text or null, its place chosen by rnd.
const pick = (list, rnd) => (list.length ? list[Math.floor(rnd() * list.length)] : null);
const splice = (text, start, end, by) => text.slice(0, start) + by + text.slice(end);
const names = (r) => r.leaves.filter((l) => l.type === 'simple_identifier' && !l.literal);

const tokenMutants = {
    joined(text, r, rnd) {
        const g = pick(gaps(r).filter((g) => /^[ \t]+$/.test(text.slice(g.start, g.end)) &&
            /^\w+$/.test(g.before.text) && /^\w+$/.test(g.after.text)), rnd);
        return g && splice(text, g.start, g.end, '');
    },
    renamed(text, r, rnd) {
        const l = pick(names(r), rnd);
        return l && splice(text, l.end, l.end, 'x');
    },
    split(text, r, rnd) {
        const l = pick(names(r).filter((l) => l.text.length > 1), rnd);
        return l && splice(text, l.start + 1, l.start + 1, ' ');
    },
    blank(text, r, rnd) {
        const l = pick(r.leaves.filter((l) => /str_text/.test(l.type) && /\S/.test(l.text)), rnd);
        if (!l)
            return null;
        const at = l.start + l.text.search(/\S/);
        return splice(text, at, at, ' ');
    },
    number(text, r, rnd) {
        const l = pick(r.leaves.filter((l) => l.type === 'integer_literal'), rnd);
        return l && splice(text, l.end, l.end, '7');
    },
    operator(text, r, rnd) {
        const l = pick(r.leaves.filter((l) => ['+', '-', '*', '<', '>', '==', '&&'].includes(l.text) && !l.literal), rnd);
        const other = {'+': '-', '-': '+', '*': '+', '<': '>', '>': '<', '==': '!=', '&&': '||'};
        return l && splice(text, l.start, l.end, other[l.text]);
    },
    newline(text, r, rnd) {
        const g = pick(gaps(r).filter((g) => /^[ \t]+$/.test(text.slice(g.start, g.end)) && !isComment(g.before.type)),
            rnd);
        return g && splice(text, g.start, g.end, '\n');
    },
    indent1(text, r, rnd) {
        const l = pick(r.leaves.filter((l) => l.type === 'multi_line_str_text' && /\n[ \t]*\S/.test(l.text)), rnd);
        if (!l)
            return null;
        const at = l.start + l.text.search(/\n[ \t]*\S/) + 1;
        return splice(text, at, at, ' ');
    },
};

async function make(out, files) {
    await Parser.init();
    const language = await Parser.Language.load(grammar);
    const parser = new Parser();
    parser.setLanguage(language);
    for (const dir of ['orig', 'mutant'])
        fs.mkdirSync(path.join(out, dir), {recursive: true});
    const verdicts = [];
    files.forEach((file, index) => {
        const text = fs.readFileSync(file, 'utf8');
        const r = read(parser, text);
        if (!r) {
            verdicts.push(path.basename(file) + ' unread');
            return;
        }
        const stem = String(index).padStart(3, '0');
        const write = (kind, k, mutant, verdict) => {
            const name = `${stem}_${kind}_${k}.swift`;
            fs.writeFileSync(path.join(out, 'orig', name), text);
            fs.writeFileSync(path.join(out, 'mutant', name), mutant);
            verdicts.push(`${name} ${verdict}`);
        };
        for (const [kind, make] of Object.entries(relayouts)) {
            for (let k = 0; k < (kind === 'shift' ? 1 : VARIANTS); ++k) {
                const rnd = random(index * 1000 + k * 17 + kind.length);
                const mutant = make(text, r, rnd, (t) => read(parser, t));
                if (mutant !== text && judge(parser, r, mutant, kind === 'shift') === 'same')
                    write(kind, k, mutant, 'same');
            }
        }
        for (const [kind, make] of Object.entries(tokenMutants)) {
            for (let k = 0; k < VARIANTS; ++k) {
                const mutant = make(text, r, random(index * 7919 + k * 31 + kind.length));
                if (!mutant || mutant === text)
                    continue;
                const verdict = judge(parser, r, mutant, false);
                if (verdict === 'differ')
                    write(kind, k, mutant, 'differ');
                else if (verdict === 'same' && kind === 'newline')
                    write(kind, k, mutant, 'ignored');
            }
        }
    });
    fs.writeFileSync(path.join(out, 'verdicts'), verdicts.join('\n') + '\n');
}

if (process.argv[2] === 'make')
    make(process.argv[3], process.argv.slice(4)).catch((e) => {
        console.error(e);
        process.exit(1);
    });
else {
    console.error('usage: node swift_judge.js make OUT FILE...');
    process.exit(2);
}
