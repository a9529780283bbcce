// Judges pairs of Markdown files with markdown-it, for the Markdown lexer's
// tests: node markdown_judge.js DIR_A DIR_B prints, for each file of DIR_A
// that DIR_B holds too, one line
//   NAME HTML
// HTML: "same" when both render (CommonMark with GitHub's tables,
// strikethrough, autolinks and task lists) to the same HTML once every run of
// whitespace is one blank, else "differ".
'use strict';
const fs = require('fs');
const path = require('path');
const MarkdownIt = require('markdown-it');
const taskLists = require('markdown-it-task-lists');

const md = new MarkdownIt({html: true, linkify: true}).use(taskLists);

function rendered(text) {
    return md.render(text).replace(/\s+/g, ' ');
}

const [dirA, dirB] = process.argv.slice(2);
for (const name of fs.readdirSync(dirA).sort()) {
    const b = path.join(dirB, name);
    if (!fs.existsSync(b)) continue;
    const same = rendered(fs.readFileSync(path.join(dirA, name), 'utf8')) === rendered(fs.readFileSync(b, 'utf8'));
    console.log(`${name} ${same ? 'same' : 'differ'}`);
}
