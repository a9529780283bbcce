// Parentheses prettier adds or takes out by precedence, written the other way.
const area = width * height % 7;
const mixed = a + b * c - d / e;
const shift = a << b + c;
const bits = a & b | c ^ d;
const equal = a == b != c;
const mod = a % b * c;
const power = a ** b ** c;
const scaled = a * (b ** 2);
const inverse = base ** (-exp);
const found = ('key' in table) && table.key;
export default (found || power);

async function load(url) {
  await (0);
  const res = await (fetch(url));
  return ('body' in res);
}

function has(o, k) {
  return (k in o);
}

for (const k in (table)) has(table, k);
