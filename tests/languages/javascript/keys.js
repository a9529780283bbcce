// Property names quoted where they need not be, and some where they must.
const config = {
  'name': 'matchling',
  "version": 2,
  'dash-case': true,
  1: 'one',
  '2': 'two',
  '1.5': 'one and a half',
  '010': 'not a number',
  nested: { 'a': 1, b: 2, 'c': { 'd': [1, 2, 3] } },
};

const { 'name': title, version } = config;

class Store {
  'items' = [];
  static 'count' = 0;
  'add'(item) {
    this.items.push(item);
    Store.count++;
  }
  get 'size'() {
    return this.items.length;
  }
}

function make() {
  const store = new Store;
  const when = new Date;
  const map = new Map;
  const list = [new Set, new WeakMap];
  store.add(new Error);
  return { store, when, map, list, first: new Store().size, made: new Date().getTime() };
}

const pick = (o) => ({ 'x': o.x, y: o.y });
const total = (a, b) => (a.value + b.value);
const step = (a) => (a.count++, a);
const name = (o) => (o.name ?? o.title) ?? 'none';
const lazy = () => (new Store);
const curry = (a) => ((b) => a + b);
const Ctor = new (Store);
for (let i = 0, j = 9; i < j; (i++, j--)) make();
const label = (o) => o.label ?? (o.text || 'none');
const both = (a, b) => (a, b);
module.exports = { config, title, Store, make, pick, total, step, name, label, both };
