// Commas, semicolons, keys and flags prettier rewrites.
enum Color { Red, Green, Blue };
const enum Size { Small = 1, Large = 2, }
const labels = { '古': 'old', 'é': 'e', .5: 'half', 1.50: 'one and a half' };
const pattern = /[a-z]+/ig;
const id = (x,) => x;
configure({ plugins: [...defaults,] });
