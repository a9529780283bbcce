// Judges pairs of Markdown files with markdown-it, for the Markdown lexer's
// tests: node markdown_judge.js DIR_A DIR_B prints, for each file of DIR_A
// that DIR_B holds too, one line
//   NAME HTML
// HTML: "same" when their front matters hold the same YAML and both render as
// GitHub does (CommonMark with GitHub's tables, strikethrough, autolinks, task
// lists and footnotes) to the same HTML once every run of whitespace outside
// <pre> is one blank, "differ" when not, and "embedded"
// when they differ only inside code blocks of another language of the
// Matchling's table (C family, Python, Go, Rust, Java, Basic, TOML, CMake,
// shell, CSS, GraphQL, and the others `others` names), which it compares
// by their languages' tokens and this judge cannot: such pairs are neither
// misses nor false alarms. YAML code blocks compare by their parsed
// documents, Markdown code blocks by their own rendering (Markdown inside
// those as written).
// Code blocks of JavaScript, TypeScript and JSON render as their tokens and
// their comments' words (TypeScript's scanner), as the Matchling compares
// them: a code sample's comments are shown to the reader.
'use strict';
const fs = require('fs');
const path = require('path');
const MarkdownIt = require('markdown-it');
const footnotes = require('markdown-it-footnote');
const taskLists = require('markdown-it-task-lists');
const ts = require('typescript');
const YAML = require('yaml');

const scripts = new Set(['js', 'javascript', 'jsx', 'ts', 'typescript', 'tsx', 'json', 'jsonc']);
const others = new Set(['c', 'c++', 'cpp', 'cxx', 'csharp', 'cs', 'c#', 'basic', 'vb', 'python', 'py', 'python3',
                        'go', 'golang', 'rust', 'rs', 'java', 'toml', 'cmake', 'shell', 'sh', 'bash', 'css', 'scss',
                        'less', 'postcss', 'graphql', 'gql', 'hcl', 'terraform', 'tf', 'swift', 'kotlin', 'kt',
                        'php', 'lua', 'ruby', 'rb', 'ini', 'cfg', 'editorconfig', 'properties', 'dockerfile',
                        'docker', 'xml', 'svg', 'plist', 'rst', 'restructuredtext', 'rest', 'html', 'htm', 'xhtml',
                        'svelte']);
const yamls = new Set(['yaml', 'yml']);
const markdowns = new Set(['md', 'markdown']);

// A comment's words: its markers, and the stars that start the lines of a
// block comment, left out.
function commentWords(text) {
    const body = text.startsWith('//') ? text.slice(2) : text.slice(2, text.endsWith('*/') ? -2 : undefined);
    return body.split('\n').map(line => line.replace(/^\s*\*+/, '')).join(' ').split(/\s+/).filter(w => w);
}

function scriptTokens(text, lang) {
    const variant = lang === 'tsx' || lang === 'jsx' ? ts.LanguageVariant.JSX : ts.LanguageVariant.Standard;
    const scanner = ts.createScanner(ts.ScriptTarget.Latest, false, variant, text);
    const out = [];
    for (let t = scanner.scan(); t !== ts.SyntaxKind.EndOfFileToken; t = scanner.scan()) {
        if (t === ts.SyntaxKind.SingleLineCommentTrivia || t === ts.SyntaxKind.MultiLineCommentTrivia)
            out.push(...commentWords(scanner.getTokenText()));
        else if (t !== ts.SyntaxKind.WhitespaceTrivia && t !== ts.SyntaxKind.NewLineTrivia)
            out.push(scanner.getTokenText());
    }
    return out.join('\u0001');
}

// YAML code as its documents' values, keys in order, as the Matchling
// compares it by its tokens; as written where it does not parse.
function yamlValue(text) {
    const docs = YAML.parseAllDocuments(text);
    if (!Array.isArray(docs) || docs.some(d => d.errors.length > 0)) return text;
    return JSON.stringify(docs.map(d => d.toJSON()));
}

function renderer(loose, inner) {
    const md = new MarkdownIt({html: true, linkify: true}).use(taskLists).use(footnotes);
    const fence = md.renderer.rules.fence;
    md.renderer.rules.fence = (tokens, idx, options, env, self) => {
        const token = tokens[idx];
        const lang = token.info.trim().split(/\s+/)[0].toLowerCase();
        if (scripts.has(lang)) token.content = scriptTokens(token.content, lang);
        else if (yamls.has(lang)) token.content = yamlValue(token.content);
        else if (!inner && markdowns.has(lang)) token.content = rendered(renderer(loose, true), token.content);
        else if (loose && others.has(lang)) token.content = token.content.replace(/\s+/g, '');
        return fence(tokens, idx, options, env, self);
    };
    return md;
}
const strict = renderer(false, false), loose = renderer(true, false);

// The HTML with each run of whitespace outside <pre> as one blank.
function rendered(md, text) {
    return md.render(text).split(/(<pre[\s\S]*?<\/pre>)/).map((part, i) => (i % 2 ? part : part.replace(/\s+/g, ' '))).join('');
}

// A leading front-matter block (--- to ---), which the Matchling reads as
// YAML: its parsed value, keys in order, and the rest of the text; no block
// (or one that does not parse) gives an empty value and the whole text.
function frontMatter(text) {
    const m = /^---\r?\n([\s\S]*?)\r?\n---[ \t]*(\r?\n|$)/.exec(text);
    if (!m) return ['', text];
    try {
        return [JSON.stringify(YAML.parse(m[1])), text.slice(m[0].length)];
    } catch (e) {
        return ['', text];
    }
}

const [dirA, dirB] = process.argv.slice(2);
for (const name of fs.readdirSync(dirA).sort()) {
    const b = path.join(dirB, name);
    if (!fs.existsSync(b)) continue;
    const [fa, ta] = frontMatter(fs.readFileSync(path.join(dirA, name), 'utf8'));
    const [fb, tb] = frontMatter(fs.readFileSync(b, 'utf8'));
    const verdict = fa !== fb ? 'differ'
                    : rendered(strict, ta) === rendered(strict, tb) ? 'same'
                    : rendered(loose, ta) === rendered(loose, tb) ? 'embedded' : 'differ';
    console.log(`${name} ${verdict}`);
}
