// Judges pairs of Vue single-file components with Vue's own compiler, for
// the Vue lexer's tests: node vue_judge.js DIR_A DIR_B prints, for each file
// of DIR_A that DIR_B holds too, one line
//   NAME VERDICT
// VERDICT: "same" when @vue/compiler-sfc reads the same component from the
// two: the same blocks with the same attributes; the same template tree
// (positions and a comment's words aside, expressions compared as
// @babel/parser's trees, text read with the whitespace rule below); scripts
// the same as @babel/parser's trees, styles as postcss's (postcss-scss's,
// postcss-less's) rules and declarations, a JSON block as its data, other
// blocks as their text. "differ" when not; "failed" when either does not
// compile.
//
// The whitespace rule, on the text nodes Vue's compiler keeps (it has
// already dropped or condensed whitespace as its 'condense' mode does):
// outside pre and textarea each run of whitespace is one blank; a blank at
// a block element's or a button's start or end, or next to an element a
// browser shows as a block, is dropped.
'use strict';
const fs = require('fs');
const { parse } = require('@vue/compiler-sfc');
const babel = require('@babel/parser');
const postcss = require('postcss');
const postcssScss = require('postcss-scss');
const postcssLess = require('postcss-less');

const blocks = new Set(['address', 'article', 'aside', 'blockquote', 'div', 'dl', 'dt', 'dd', 'fieldset',
    'figcaption', 'figure', 'footer', 'form', 'h1', 'h2', 'h3', 'h4', 'h5', 'h6', 'header', 'hr', 'li', 'main',
    'nav', 'ol', 'p', 'pre', 'section', 'table', 'tbody', 'td', 'tfoot', 'th', 'thead', 'tr', 'ul', 'title',
    'option', 'select']);
const skip = new Set(['start', 'end', 'loc', 'range', 'extra', 'leadingComments', 'trailingComments',
    'innerComments', 'comments', 'tokens', 'raws', 'source', 'nameLoc', 'ast', 'codegenNode', 'identifiers',
    'constType', 'isStatic', 'rawName', 'innerLoc', 'isSelfClosing', 'parseResult', 'forParseResult']);

let typescript = false;

function strip(v) {
    if (Array.isArray(v))
        return v.map(strip);
    if (!v || typeof v !== 'object')
        return v;
    const out = {};
    for (const k of Object.keys(v))
        if (!skip.has(k) && typeof v[k] !== 'function')
            out[k] = strip(v[k]);
    return out;
}

// An expression as @babel/parser's tree; a v-for's, a slot's parameters and
// a handler's statements by the forms Vue gives them.
function expression(code, directive) {
    const plugins = typescript ? ['typescript'] : [];
    const tries = [
        () => babel.parseExpression(code, { plugins }),
        () => babel.parseExpression('(' + code + ') => 0', { plugins }),
        () => babel.parse(code, { plugins, allowReturnOutsideFunction: true }).program.body,
    ];
    if (directive === 'for') {
        const m = /^\s*([\s\S]*?)\s+(?:in|of)\s+([\s\S]*)$/.exec(code);
        if (m) {
            const alias = m[1].trim().replace(/^\(([\s\S]*)\)$/, '$1');
            return { alias: expression('(' + alias + ') => 0'), source: expression(m[2]), of: /\sof\s/.test(code) };
        }
    }
    for (const t of tries)
        try {
            return strip(t());
        } catch (e) {
            // the next form
        }
    return code.replace(/\s+/g, ' ').trim();
}

function isBlock(n) {
    return n && n.type === 1 && blocks.has(n.tag) &&
        !n.props.some((p) => (p.type === 6 && (p.name === 'style' || p.name === 'hidden')) ||
            (p.type === 7 && (p.name === 'show' || (p.name === 'bind' && (!p.arg || !p.arg.isStatic ||
                ['style', 'hidden'].includes(p.arg.content))))));
}

// A button's content starts and ends at a line's edge, though it stands
// inline.
function isBlockInside(n) {
    return isBlock(n) || (n && n.type === 1 && n.tag === 'button' && !n.props.some((p) => p.type === 6 && p.name === 'style'));
}

function children(nodes, parent, pre) {
    const out = [];
    nodes.forEach((n, i) => {
        if (n.type !== 2) {
            out.push(node(n, pre));
            return;
        }
        if (pre) {
            out.push({ type: 'text', data: n.content });
            return;
        }
        let d = n.content.replace(/[ \t\n\f\r]+/g, ' ');
        const left = (i === 0 && isBlockInside(parent)) || isBlock(nodes[i - 1]);
        const right = (i === nodes.length - 1 && isBlockInside(parent)) || isBlock(nodes[i + 1]);
        if (left) d = d.replace(/^ /, '');
        if (right) d = d.replace(/ $/, '');
        if (d !== '')
            out.push({ type: 'text', data: d });
    });
    return out;
}

function node(n, pre) {
    switch (n.type) {
    case 3:
        return { type: 'comment' };
    case 5:
        return { type: 'interpolation', exp: expression(n.content.content) };
    case 1: {
        const inPre = pre || n.tag === 'pre' || n.tag === 'textarea';
        const regular = /^[a-z][^:.]*$/.test(n.tag);
        const props = n.props.map((p) => {
            if (p.type === 6) {
                let value = p.value ? p.value.content : '';
                if (regular && p.name === 'class')
                    value = value.trim().split(/[ \t\n\f\r]+/).join(' ');
                if (regular && p.name === 'style')
                    value = value.split(';').map((d) => d.trim().replace(/\s*:\s*/, ':')).filter(Boolean).join(';');
                return { name: p.name, value };
            }
            return {
                directive: p.name,
                arg: p.arg ? (p.arg.isStatic ? p.arg.content : expression(p.arg.content)) : null,
                modifiers: p.modifiers.map((m) => m.content || m),
                exp: p.exp ? expression(p.exp.content, p.name) : null,
            };
        });
        return { tag: n.tag, props, children: children(n.children, n, inPre) };
    }
    default:
        return strip(n);
    }
}

function style(block) {
    const syntax = block.lang === 'scss' ? postcssScss : block.lang === 'less' ? postcssLess : null;
    const root = syntax ? syntax.parse(block.content) : postcss.parse(block.content);
    const walk = (n) => {
        const out = { type: n.type };
        if (n.selector !== undefined) out.selector = n.selector.replace(/\s+/g, ' ').trim();
        if (n.prop !== undefined) out.prop = n.prop;
        if (n.value !== undefined) out.value = n.value.replace(/\s+/g, ' ').replace(/ ?([(),]) ?/g, '$1').trim();
        if (n.important) out.important = true;
        if (n.name !== undefined) out.name = n.name;
        if (n.params !== undefined) out.params = n.params.replace(/\s+/g, ' ').trim();
        if (n.nodes) out.nodes = n.nodes.filter((c) => c.type !== 'comment').map(walk);
        return out;
    };
    return walk(root);
}

function script(block) {
    const lang = block.lang || '';
    const plugins = lang === 'ts' || lang === 'tsx' ? ['typescript'] : [];
    if (lang === 'tsx' || lang === 'jsx') plugins.push('jsx');
    return strip(babel.parse(block.content, { sourceType: 'module', plugins }).program);
}

function attrs(block) {
    const out = {};
    for (const k of Object.keys(block.attrs).sort())
        out[k] = block.attrs[k];
    return out;
}

function read(file) {
    const { descriptor, errors } = parse(fs.readFileSync(file, 'utf8'), { ignoreEmpty: false });
    // A file of styles or other blocks alone is read all the same.
    const fatal = errors.filter((e) => !/^At least one <template> or <script>/.test(e.message));
    if (fatal.length)
        throw fatal[0];
    typescript = [descriptor.script, descriptor.scriptSetup].some((s) => s && (s.lang === 'ts' || s.lang === 'tsx'));
    const out = {};
    const t = descriptor.template;
    if (t)
        out.template = { attrs: attrs(t), children: t.ast ? children(t.ast.children, null, false) : t.content };
    for (const k of ['script', 'scriptSetup'])
        if (descriptor[k])
            out[k] = { attrs: attrs(descriptor[k]), body: script(descriptor[k]) };
    out.styles = descriptor.styles.map((s) => ({ attrs: attrs(s), body: style(s) }));
    out.custom = descriptor.customBlocks.map((b) => ({
        type: b.type, attrs: attrs(b), body: b.lang === 'json' ? JSON.parse(b.content) : b.content,
    }));
    return JSON.stringify(out);
}

require('./judge_pairs')(read);
