// Judges pairs of Svelte components with Svelte's own parser, for the
// Svelte lexer's tests: node svelte_judge.js DIR_A DIR_B prints, for each
// file of DIR_A that DIR_B holds too, one line
//   NAME VERDICT
// VERDICT: "same" when svelte/compiler's parse of the two (its modern tree)
// is the same, positions, comments and a literal's spelling aside, text
// read with the whitespace rule below; "differ" when not; "failed" when
// either does not parse.
//
// The whitespace rule: outside pre and textarea each run of whitespace in
// text is one blank; text alone of whitespace at a fragment's start or end
// or next to an element a browser shows as a block is dropped, and a blank
// at such an edge of other text too.
'use strict';
const fs = require('fs');
const { parse } = require('svelte/compiler');

const blocks = new Set(['address', 'article', 'aside', 'blockquote', 'div', 'dl', 'dt', 'dd', 'fieldset',
    'figcaption', 'figure', 'footer', 'form', 'h1', 'h2', 'h3', 'h4', 'h5', 'h6', 'header', 'hr', 'li', 'main',
    'nav', 'ol', 'p', 'pre', 'section', 'table', 'tbody', 'td', 'tfoot', 'th', 'thead', 'tr', 'ul', 'script',
    'style', 'title', 'head', 'body', 'html', 'option', 'select']);
const skip = new Set(['start', 'end', 'loc', 'range', 'raw', 'leadingComments', 'trailingComments', 'comments',
    'metadata', 'name_loc', 'hash']);

function isBlock(n) {
    return n && n.type === 'RegularElement' && blocks.has(n.name) &&
        !n.attributes.some((a) => a.type !== 'Attribute' || a.name === 'style' || a.name === 'hidden');
}

function text(all, pre) {
    // Text on either side of what is left out (a comment, the options, a
    // script or style at the top) reads as one.
    const nodes = [];
    for (const n of all.filter((n) => n.type !== 'Comment' && !n.type.startsWith('SvelteOptions')))
        if (n.type === 'Text' && nodes.length && nodes[nodes.length - 1].type === 'Text')
            nodes[nodes.length - 1] = { type: 'Text', data: nodes[nodes.length - 1].data + n.data };
        else
            nodes.push(n);
    const out = [];
    nodes.forEach((n, i) => {
        if (n.type === 'Comment' || n.type.startsWith('SvelteOptions'))
            return;
        if (n.type !== 'Text' || pre) {
            out.push(n);
            return;
        }
        let d = n.data.replace(/[ \t\n\f\r]+/g, ' ');
        const left = i === 0 || isBlock(nodes[i - 1]), right = i === nodes.length - 1 || isBlock(nodes[i + 1]);
        if (left) d = d.replace(/^ /, '');
        if (right) d = d.replace(/ $/, '');
        if (d !== '')
            out.push({ type: 'Text', data: d });
    });
    // Text that touches text once a comment is gone reads as one.
    const merged = [];
    for (const n of out)
        if (n.type === 'Text' && merged.length && merged[merged.length - 1].type === 'Text')
            merged[merged.length - 1] = { type: 'Text', data: (merged[merged.length - 1].data + n.data).replace(/  +/g, ' ') };
        else
            merged.push(n);
    return merged;
}

function clean(v, pre) {
    if (Array.isArray(v))
        return v.map((x) => clean(x, pre));
    if (!v || typeof v !== 'object')
        return v;
    const out = {};
    const inPre = pre || v.name === 'pre' || v.name === 'textarea';
    for (const k of Object.keys(v)) {
        if (skip.has(k) || (k === 'content' && v.type === 'StyleSheet'))
            continue;  // a stylesheet's text aside, its rules compare
        if (k === 'nodes' && v.type === 'Fragment')
            out[k] = clean(text(v.nodes, inPre), inPre);
        else if (k === 'data' && v.type === 'Text' && !pre)
            out[k] = v.data;
        else
            out[k] = clean(v[k], inPre);
    }
    // An element's class compares as its names.
    if (v.type === 'RegularElement')
        for (const a of out.attributes)
            if (a.type === 'Attribute' && a.name === 'class' && Array.isArray(a.value) && a.value.every((p) => p.type === 'Text'))
                a.value = a.value.map((p) => p.data).join('').trim().split(/[ \t\n\f\r]+/).join(' ');
    if (out.type === 'Literal' && typeof out.value === 'string')
        out.value = JSON.stringify(out.value);
    return out;
}

function read(file) {
    return JSON.stringify(clean(parse(fs.readFileSync(file, 'utf8'), { modern: true }), false));
}

require('./judge_pairs')(read);
