// The judge of the YAML tests (tests/languages/yaml_test.cpp), with the npm
// yaml package's composed documents.
//
//   node yaml_judge.js judge A B    for each file of directory A that B holds
//                                   too: "NAME same", "NAME different" or
//                                   "NAME error" (either side does not parse)
//   node yaml_judge.js parses F...  the files F that parse, one per line
//   node yaml_judge.js mutate A OUT near misses of A's files: OUT/indent (a
//                                   top-level key indented under the block
//                                   before it), OUT/blank (a blank put inside
//                                   a quoted string), OUT/quote (a plain value
//                                   quoted, or a quoted one unquoted)
//   node yaml_judge.js comments F...  for each file F, "F" and the words of its
//                                   comments as the package's lexer finds them,
//                                   split at blanks, one line
//
// Two files are the same when their documents compose to the same nodes:
// mappings with their keys in order, sequences, scalars by their values
// (a plain scalar resolved, as a reader takes it, and never equal to a
// quoted or block scalar), explicit tags, anchors and aliases.
'use strict';
const fs = require('fs');
const path = require('path');
const YAML = require('yaml');

function compose(text) {
    const docs = YAML.parseAllDocuments(text);
    if (!Array.isArray(docs))
        return null;
    for (const d of docs)
        if (d.errors.length > 0)
            return null;
    return docs.map((d) => shape(d.contents));
}

function shape(node) {
    if (node === null || node === undefined)
        return ['none'];
    if (YAML.isAlias(node))
        return ['alias', node.source];
    const props = [node.anchor || '', node.tag || ''];
    if (YAML.isScalar(node)) {
        const plain = node.type === 'PLAIN';
        const v = node.value;
        return ['scalar', props, plain ? 'plain' : 'string', plain ? typeof v + ':' + String(v) : String(v)];
    }
    if (YAML.isMap(node))
        return ['map', props, node.items.map((p) => [shape(p.key), shape(p.value)])];
    if (YAML.isSeq(node))
        return ['seq', props, node.items.map(shape)];
    return ['other', String(node)];
}

function read(file) {
    try {
        return fs.readFileSync(file, 'utf8');
    } catch (e) {
        return null;
    }
}

function judge(a, b) {
    for (const name of fs.readdirSync(a).sort()) {
        const ta = read(path.join(a, name)), tb = read(path.join(b, name));
        if (ta === null || tb === null)
            continue;
        const ga = compose(ta), gb = compose(tb);
        const verdict = ga === null || gb === null ? 'error'
                        : JSON.stringify(ga) === JSON.stringify(gb) ? 'same' : 'different';
        console.log(name + ' ' + verdict);
    }
}

// The first of lines' indexes where change gives new lines that parse and
// compose to other documents; null when none.
function mutateLines(lines, change) {
    const before = JSON.stringify(compose(lines.join('\n')));
    for (let i = 0; i < lines.length; ++i) {
        const next = change(lines, i);
        if (next === null)
            continue;
        const after = compose(next.join('\n'));
        if (after !== null && JSON.stringify(after) !== before)
            return next;
    }
    return null;
}

const mutants = {
    // A "key: value" line after a key line indented deeper: indented as that line is.
    indent(lines, i) {
        const here = i > 0 && lines[i].match(/^( *)[A-Za-z_][\w.-]*:\s+\S/);
        const before = here && lines[i - 1].match(/^( +)[A-Za-z_][\w.-]*:/);
        if (!before || before[1].length <= here[1].length)
            return null;
        const out = lines.slice();
        out[i] = before[1] + lines[i].slice(here[1].length);
        return out;
    },
    // A blank after the opening quote of a quoted value.
    blank(lines, i) {
        const m = lines[i].match(/^(\s*(?:- )?(?:[\w.-]+: )?)(["'])(\w)/);
        if (!m)
            return null;
        const out = lines.slice();
        out[i] = m[1] + m[2] + ' ' + lines[i].slice(m[0].length - 1);
        return out;
    },
    // A plain word value quoted, or a quoted word unquoted.
    quote(lines, i) {
        let m = lines[i].match(/^(\s*(?:- )?[\w.-]+: )(yes|no|true|false|on|off|null|\d+)\s*$/);
        const out = lines.slice();
        if (m) {
            out[i] = m[1] + '"' + m[2] + '"';
            return out;
        }
        m = lines[i].match(/^(\s*(?:- )?[\w.-]+: )(["'])([A-Za-z]\w*)\2\s*$/);
        if (!m)
            return null;
        out[i] = m[1] + m[3];
        return out;
    },
};

function mutate(a, out) {
    for (const kind of Object.keys(mutants)) {
        fs.mkdirSync(path.join(out, kind), {recursive: true});
        fs.mkdirSync(path.join(out, kind + '-orig'), {recursive: true});
    }
    for (const name of fs.readdirSync(a).sort()) {
        const text = read(path.join(a, name));
        if (text === null)
            continue;
        const lines = text.split('\n');
        for (const kind of Object.keys(mutants)) {
            const changed = mutateLines(lines, mutants[kind]);
            if (changed === null)
                continue;
            fs.writeFileSync(path.join(out, kind + '-orig', name), text);
            fs.writeFileSync(path.join(out, kind, name), changed.join('\n'));
        }
    }
}

const [mode, ...args] = process.argv.slice(2);
if (mode === 'judge')
    judge(args[0], args[1]);
else if (mode === 'parses')
    for (const f of args) {
        const t = read(f);
        if (t !== null && compose(t) !== null)
            console.log(f);
    }
else if (mode === 'mutate')
    mutate(args[0], args[1]);
else if (mode === 'comments')
    for (const f of args) {
        const t = read(f);
        if (t === null)
            continue;
        const words = [];
        for (const token of new YAML.Lexer().lex(t))
            if (token.startsWith('#'))
                words.push(...token.slice(1).split(/[ \t]+/).filter((w) => w.length > 0));
        console.log([f, ...words].join(' '));
    }
else
    process.exit(2);
