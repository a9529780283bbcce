// Judges pairs of HTML files with parse5, for the HTML lexer's tests:
// node html_judge.js DIR_A DIR_B prints, for each file of DIR_A that DIR_B
// holds too, one line
//   NAME VERDICT
// VERDICT: "same" when parse5's trees of the two, written out with a
// browser's whitespace rules (below), are the same and so are their scripts'
// and styles' bodies (scripts as TypeScript's scanner's tokens, comments
// left out; styles as postcss reads them, whitespace collapsed; JSON as its
// data; other types as written); "differ" when the trees written out
// differ; "embedded" when only bodies differ, which the Matchling compares
// by their languages' own tokens and this judge only roughly: such pairs are
// neither misses nor false alarms.
//
// The whitespace rules: each run of whitespace in text is one blank, but
// inside pre, textarea, listing, plaintext, xmp, an element whose style
// attribute names white-space, or one a style element's rule keeps the
// whitespace of (by the name of its selectors' subjects, or all elements);
// a blank at the start of text that follows a block (or starts a block's
// content) and one at the end of text before a block (or at the end of a
// block's content) is dropped, and so is whitespace alone next to such an
// edge and in the head. Blocks are the elements a browser's own stylesheet
// shows as blocks and the shapes of an SVG drawing, none of them hidden,
// with a display of their own style, or of a name a style element's rule
// makes inline.
'use strict';
const fs = require('fs');
const path = require('path');
const ts = require('typescript');
const postcss = require('postcss');
const postcssScss = require('postcss-scss');
const postcssLess = require('postcss-less');

const blocks = new Set(['address', 'article', 'aside', 'blockquote', 'body', 'caption', 'center', 'col', 'colgroup',
    'dd', 'details', 'dialog', 'dir', 'div', 'dl', 'dt', 'fieldset', 'figcaption', 'figure', 'footer', 'form',
    'frameset', 'h1', 'h2', 'h3', 'h4', 'h5', 'h6', 'head', 'header', 'hgroup', 'hr', 'html', 'legend', 'li',
    'listing', 'main', 'menu', 'nav', 'ol', 'optgroup', 'option', 'p', 'plaintext', 'pre', 'search', 'section',
    'summary', 'table', 'tbody', 'td', 'tfoot', 'th', 'thead', 'title', 'tr', 'ul', 'xmp']);
const insideOnly = new Set(['button', 'select']);
const preformatted = new Set(['pre', 'textarea', 'listing', 'plaintext', 'xmp']);
const jsTypes = new Set(['', 'module', 'text/javascript', 'application/javascript', 'application/ecmascript',
    'application/x-ecmascript', 'application/x-javascript', 'text/ecmascript', 'text/javascript1.0',
    'text/javascript1.1', 'text/javascript1.2', 'text/javascript1.3', 'text/javascript1.4', 'text/javascript1.5',
    'text/jscript', 'text/livescript', 'text/x-ecmascript', 'text/x-javascript', 'text/babel', 'text/jsx']);

const isBlank = c => c === ' ' || c === '\t' || c === '\n' || c === '\f' || c === '\r';
const collapse = s => s.replace(/[ \t\n\f\r]+/g, ' ');
// CSS text, whitespace that parts no tokens left out: next to a comma or a bracket.
const cssText = s => collapse(s).replace(/ ?([,()]) ?/g, '$1').trim();

// The rules of a stylesheet that keep whitespace or make elements inline,
// read with postcss: the names of the elements their selectors' subjects
// are, or all elements where a subject has no type.
function styleFacts(text, facts) {
    let root;
    try {
        root = postcss.parse(text.replace(/<!--|-->/g, ' '));
    } catch (e) {
        // Unreadable: any rule that names such a value, for all elements.
        if (/white-space\s*-|white-space[\s:]*(pre|break)/i.test(text)) facts.preserves = true;
        if (/display[\s:]*(inline|contents|ruby|run-in)/i.test(text)) facts.inlines = true;
        return;
    }
    root.walkDecls(d => {
        const prop = d.prop.toLowerCase(), value = d.value.trim().toLowerCase();
        const preserve = prop.startsWith('white-space-') || (prop === 'white-space' && /^(pre|break)/.test(value));
        const inline = prop === 'display' && /^(inline|contents|ruby|run-in)/.test(value);
        if (!preserve && !inline) return;
        const rule = d.parent;
        if (!rule || rule.type !== 'rule') {
            facts[preserve ? 'preserves' : 'inlines'] = true;
            return;
        }
        for (const sel of rule.selector.split(',')) {
            const part = sel.trim().toLowerCase();
            const last = part.split(/[\s>+~]+/).pop();
            const m = /^([a-z][a-z0-9-]*)([.#:[]|$)/.exec(last);
            if (!m || /[()|&]/.test(part)) facts[preserve ? 'preserves' : 'inlines'] = true;
            else facts[preserve ? 'preserved' : 'inlined'].add(m[1]);
        }
    });
}

function attr(el, name) {
    const a = el.attrs.find(x => x.name === name);
    return a ? a.value : undefined;
}

function scriptTokens(text, tsx) {
    const scanner = ts.createScanner(ts.ScriptTarget.Latest, true, ts.LanguageVariant.Standard, text);
    const out = [];
    let prev;
    for (let k = scanner.scan(); k !== ts.SyntaxKind.EndOfFileToken; k = scanner.scan()) {
        // Re-scan a '/' or '/=' where a regular expression may stand, and a '}' that goes on a template.
        if ((k === ts.SyntaxKind.SlashToken || k === ts.SyntaxKind.SlashEqualsToken) &&
            (prev === undefined || !/^[\w$)\]]$/.test(prev.slice(-1)) || /^(return|typeof|case|do|else|in|of|new|delete|void|throw|yield|await)$/.test(prev)))
            k = scanner.reScanSlashToken();
        if (k === ts.SyntaxKind.CloseBraceToken && out.length) { /* templates are rare in samples */ }
        prev = scanner.getTokenText();
        out.push(prev);
    }
    return out.join('\u0001');
}

function bodyKey(el, text) {
    const type = (attr(el, 'type') || '').trim().toLowerCase();
    const lang = (attr(el, 'lang') || '').trim().toLowerCase();
    if (el.tagName === 'style') {
        if (type && type !== 'text/css') return 'text:' + text;
        const syntax = lang === 'scss' ? postcssScss : lang === 'less' ? postcssLess : undefined;
        if (lang && !['css', 'scss', 'less'].includes(lang)) return 'text:' + text;
        try {
            const root = (syntax ? syntax.parse : postcss.parse)(text.replace(/<!--|-->/g, ' '));
            const parts = [];
            root.walk(n => {
                if (n.type === 'rule') parts.push('R' + cssText(n.selector).replace(/ ?([>+~]) ?/g, '$1'));
                else if (n.type === 'atrule') parts.push('A' + n.name + ' ' + cssText(n.params));
                else if (n.type === 'decl') parts.push('D' + n.prop + ':' + cssText(n.value) + (n.important ? '!' : ''));
            });
            return 'css:' + parts.join('\u0001');
        } catch (e) {
            return 'text:' + text;
        }
    }
    if (jsTypes.has(type) || type === 'text/typescript' || type === 'application/typescript') {
        if (lang && !['ts', 'typescript', 'tsx', 'js', 'jsx', 'javascript'].includes(lang)) return 'text:' + text;
        return 'js:' + scriptTokens(text);
    }
    if (type === 'application/json' || type === 'importmap' || type === 'speculationrules' || type.endsWith('+json')) {
        try {
            return 'json:' + JSON.stringify(JSON.parse(text));
        } catch (e) {
            return 'text:' + text;
        }
    }
    return 'text:' + text;
}

// A style attribute's declarations as postcss reads them, whitespace
// collapsed; as written where it cannot.
function declarations(text) {
    try {
        const parts = [];
        postcss.parse('a{' + text + '}').walkDecls(d => parts.push(d.prop + ':' + cssText(d.value) + (d.important ? '!' : '')));
        return parts.join(';');
    } catch (e) {
        return text;
    }
}

// The tree written out: markup (with bodies as placeholders) and bodies.
function writeOut(html) {
    const parse5 = global.parse5;
    const doc = parse5.parse(html);
    const facts = {preserves: false, inlines: false, preserved: new Set(), inlined: new Set()};
    (function scan(node) {
        if (node.tagName === 'style')
            for (const c of node.childNodes || []) if (c.nodeName === '#text') styleFacts(c.value, facts);
        for (const c of node.childNodes || []) scan(c);
        if (node.content) scan(node.content);
    })(doc);
    const out = [];
    const bodies = [];
    const svgText = new Set(['a', 'desc', 'foreignobject', 'script', 'style', 'text', 'textpath', 'title', 'tspan']);
    function flags(el) {
        const name = el.tagName.toLowerCase();
        let inside = blocks.has(name) || insideOnly.has(name), outside = blocks.has(name);
        if (el.namespaceURI === 'http://www.w3.org/2000/svg') {
            // A drawing stands in its line; what it draws holds no text but in its text elements.
            inside = !svgText.has(name);
            outside = inside && name !== 'svg';
        }
        const style = attr(el, 'style');
        if (facts.inlines || facts.inlined.has(name) || attr(el, 'hidden') !== undefined ||
            (style !== undefined && /display/i.test(style)))
            inside = outside = false;
        return {inside, outside};
    }
    function children(node, pre, inside, head) {
        const kids = node.content ? node.content.childNodes : node.childNodes || [];
        let run = '', left = inside;
        const flush = rightBlock => {
            if (run === '') return;
            if (pre) {
                out.push('T' + run);
            } else {
                let t = collapse(run);
                if (t === ' ') {
                    if (!(left || rightBlock || head)) out.push('T ');
                } else {
                    if (left && t[0] === ' ') t = t.slice(1);
                    if (rightBlock && t.endsWith(' ')) t = t.slice(0, -1);
                    out.push('T' + t);
                }
            }
            run = '';
        };
        for (const c of kids) {
            if (c.nodeName === '#text') {
                run += c.value;
            } else if (c.nodeName === '#comment') {
                // layout: the text on either side reads as one
            } else if (c.nodeName === '#documentType') {
                out.push('D' + c.name + '|' + c.publicId + '|' + c.systemId);
            } else if (c.tagName) {
                const f = flags(c);
                flush(f.outside);
                element(c, pre, f);
                left = f.outside;
            }
        }
        flush(inside);
    }
    function element(el, pre, f) {
        const style = attr(el, 'style');
        const elPre = pre || facts.preserves || preformatted.has(el.tagName) || facts.preserved.has(el.tagName.toLowerCase()) || (style !== undefined && /white-space/i.test(style));
        const attrs = el.attrs.map(a => [a.name, a.name === 'class' ? a.value.split(/[ \t\n\f\r]+/).filter(x => x).join(' ')
                                               : a.name === 'style' ? declarations(a.value) : a.value]);
        attrs.sort((a, b) => (a[0] < b[0] ? -1 : a[0] > b[0] ? 1 : 0));
        out.push('<' + el.tagName + ' ' + JSON.stringify(attrs));
        if (el.tagName === 'script' || el.tagName === 'style') {
            const text = (el.childNodes || []).map(c => c.value || '').join('');
            if (text) {
                out.push('B' + bodies.length);
                bodies.push(bodyKey(el, text));
            }
        } else {
            children(el, elPre, f.inside, el.tagName === 'head');
        }
        out.push('</' + el.tagName);
    }
    children(doc, facts.preserves, true, false);
    return {markup: out.join('\n'), bodies: bodies.join('\n\u0002')};
}

async function main() {
    global.parse5 = await import('parse5');
    const [a, b] = process.argv.slice(2);
    for (const name of fs.readdirSync(a).sort()) {
        const other = path.join(b, name);
        if (!fs.existsSync(other)) continue;
        let verdict;
        try {
            const x = writeOut(fs.readFileSync(path.join(a, name), 'utf8'));
            const y = writeOut(fs.readFileSync(other, 'utf8'));
            verdict = x.markup !== y.markup ? 'differ' : x.bodies !== y.bodies ? 'embedded' : 'same';
        } catch (e) {
            verdict = 'error';
        }
        console.log(name + ' ' + verdict);
    }
}

main();
