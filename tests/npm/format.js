// Makes the pairs the script lexer's tests judge: node format.js OUT FILE...
// copies each FILE to OUT/orig/NNN.EXT (a .d.ts as .ts) and writes OUT/prettier
// (prettier's defaults), OUT/nosemi (--no-semi --single-quote --trailing-comma
// all), OUT/semiless (--no-semi), OUT/narrow (--print-width 40) and OUT/return
// (the first "return x" broken after return) of the same names. Files prettier cannot format are left out of its folders.
'use strict';
const fs = require('fs');
const path = require('path');
const prettier = require('prettier');

async function main() {
    const [out, ...files] = process.argv.slice(2);
    for (const dir of ['orig', 'prettier', 'nosemi', 'semiless', 'narrow', 'return'])
        fs.mkdirSync(path.join(out, dir), {recursive: true});
    let n = 0;
    for (const file of files) {
        const ext = file.endsWith('.d.ts') ? '.ts' : path.extname(file);
        const name = String(++n).padStart(3, '0') + ext;
        const text = fs.readFileSync(file, 'utf8');
        fs.writeFileSync(path.join(out, 'orig', name), text);
        const broken = text.replace(/\breturn ([A-Za-z_$(!'"[{])/, 'return\n$1');
        if (broken !== text)
            fs.writeFileSync(path.join(out, 'return', name), broken);
        const styles = {prettier: {}, nosemi: {semi: false, singleQuote: true, trailingComma: 'all'},
                        semiless: {semi: false}, narrow: {printWidth: 40}};
        for (const [dir, options] of Object.entries(styles)) {
            try {
                const formatted = await prettier.format(text, {filepath: name, ...options});
                fs.writeFileSync(path.join(out, dir, name), formatted);
            } catch (e) {
                // prettier cannot parse it: no pair
            }
        }
    }
}

main();
