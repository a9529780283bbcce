// Makes and judges GraphQL pairs with the graphql package, for the GraphQL
// lexer's tests.
//
//   node graphql_judge.js make OUT FILE...
// copies each FILE to OUT/orig/NNN.graphql, adds each as the graphql
// package prints it, and each definition of more than a line of those as a
// document of its own, and writes of the same names OUT/prettier
// (prettier's defaults) and OUT/narrow (--print-width 40), and these
// mutants of the copy, each where the document has what it needs:
// OUT/joined (two names with only blanks between them joined), OUT/blank (a
// blank put inside the first string's value), OUT/moved (the first two
// fields or selections that differ swapped), OUT/value (the first
// argument's value changed) and OUT/float (the first int made a float).
//
//   node graphql_judge.js judge DIR_A DIR_B
// prints, for each file of DIR_A that DIR_B holds too, one line
//   NAME same|differ|unparsed
// "same" when both parse to equal documents without positions, strings by
// value (a block string against an ordinary one of the same value too).
'use strict';
const fs = require('fs');
const path = require('path');
const graphql = require('graphql');

function tree(text) {
    try {
        const doc = graphql.parse(text, {noLocation: true});
        return JSON.stringify(doc, (k, v) => (k === 'loc' || k === 'block' ? undefined : v));
    } catch (e) {
        return null;
    }
}

// The tokens of text with their offsets, comments left out.
function tokens(text) {
    const lexer = new graphql.Lexer(new graphql.Source(text));
    const out = [];
    for (let t = lexer.advance(); t.kind !== graphql.TokenKind.EOF; t = lexer.advance())
        out.push(t);
    return out;
}

const splice = (text, start, end, by) => text.slice(0, start) + by + text.slice(end);

const mutants = {
    joined(text) {
        const ts = tokens(text);
        for (let i = 1; i < ts.length; ++i) {
            const a = ts[i - 1], b = ts[i];
            if (a.kind === 'Name' && b.kind === 'Name' && /^[ \t]+$/.test(text.slice(a.end, b.start)))
                return splice(text, a.end, b.start, '');
        }
        return null;
    },
    blank(text) {
        const t = tokens(text).find((k) => (k.kind === 'String' || k.kind === 'BlockString') && /\S/.test(k.value));
        if (!t) return null;
        const open = t.kind === 'String' ? 1 : 3;
        const first = text.slice(t.start + open).search(/\S/) + t.start + open;
        return splice(text, first + 1, first + 1, ' ');
    },
    moved(text) {
        let out = null;
        const doc = graphql.parse(text);
        const swap = (list) => {
            if (out || !list) return;
            for (let i = 1; i < list.length; ++i) {
                const a = list[i - 1].loc, b = list[i].loc;
                const ta = text.slice(a.start, a.end), tb = text.slice(b.start, b.end);
                if (ta !== tb) {
                    out = text.slice(0, a.start) + tb + text.slice(a.end, b.start) + ta + text.slice(b.end);
                    return;
                }
            }
        };
        graphql.visit(doc, {
            SelectionSet(node) { swap(node.selections); },
            ObjectTypeDefinition(node) { swap(node.fields); },
            InterfaceTypeDefinition(node) { swap(node.fields); },
        });
        return out;
    },
    value(text) {
        let out = null;
        graphql.visit(graphql.parse(text), {
            Argument(node) {
                if (out) return;
                const v = node.value, raw = text.slice(v.loc.start, v.loc.end);
                const by = {IntValue: () => String(Number(v.value) + 1), FloatValue: () => raw + '1',
                            StringValue: () => '"' + v.value.replace(/["\\]/g, '\\$&').replace(/\n/g, '\\n') + 'x"',
                            BooleanValue: () => String(!v.value), EnumValue: () => raw + 'X',
                            Variable: () => raw + 'x'}[v.kind];
                if (by) out = splice(text, v.loc.start, v.loc.end, by());
            },
        });
        return out;
    },
    float(text) {
        const t = tokens(text).find((k) => k.kind === 'Int');
        return t ? splice(text, t.end, t.end, '.0') : null;
    },
};

async function make(out, files) {
    const prettier = require('prettier');
    const dirs = ['orig', 'prettier', 'narrow', ...Object.keys(mutants)];
    for (const dir of dirs)
        fs.mkdirSync(path.join(out, dir), {recursive: true});
    const texts = files.map((f) => fs.readFileSync(f, 'utf8'));
    // The package's own printing of each.
    for (const text of texts.slice())
        texts.push(graphql.print(graphql.parse(text)) + '\n');
    // Each definition of more than a line alone too, its description with it.
    for (const text of texts.slice()) {
        for (const d of graphql.parse(text).definitions) {
            const piece = text.slice(d.loc.start, d.loc.end);
            if (piece.includes('\n') || piece.length > 60)
                texts.push(piece + '\n');
        }
    }
    let n = 0;
    for (const text of texts) {
        const name = String(++n).padStart(3, '0') + '.graphql';
        fs.writeFileSync(path.join(out, 'orig', name), text);
        for (const [dir, options] of Object.entries({prettier: {}, narrow: {printWidth: 40}}))
            fs.writeFileSync(path.join(out, dir, name), await prettier.format(text, {parser: 'graphql', ...options}));
        for (const [dir, mutate] of Object.entries(mutants)) {
            const changed = mutate(text);
            if (changed !== null)
                fs.writeFileSync(path.join(out, dir, name), changed);
        }
    }
}

function judge(dirA, dirB) {
    for (const name of fs.readdirSync(dirA).sort()) {
        const pb = path.join(dirB, name);
        if (!fs.existsSync(pb)) continue;
        const ta = tree(fs.readFileSync(path.join(dirA, name), 'utf8')), tb = tree(fs.readFileSync(pb, 'utf8'));
        console.log(`${name} ${ta === null || tb === null ? 'unparsed' : ta === tb ? 'same' : 'differ'}`);
    }
}

const [command, ...rest] = process.argv.slice(2);
if (command === 'make')
    make(rest[0], rest.slice(1)).catch((e) => { console.error(e); process.exit(1); });
else
    judge(rest[0], rest[1]);
