// The loop the component judges share (svelte_judge.js, vue_judge.js): for
// each file of DIR_A (the first argument) that DIR_B (the second) holds too,
// prints one line "NAME VERDICT": "same" when read gives the same text of
// both, "differ" when it does not, "failed" when it throws.
'use strict';
const fs = require('fs');
const path = require('path');

module.exports = function judgePairs(read) {
    const [a, b] = process.argv.slice(2);
    for (const name of fs.readdirSync(a).sort()) {
        const other = path.join(b, name);
        if (!fs.existsSync(other))
            continue;
        let verdict;
        try {
            verdict = read(path.join(a, name)) === read(other) ? 'same' : 'differ';
        } catch (e) {
            verdict = 'failed';
        }
        console.log(name + ' ' + verdict);
    }
};
