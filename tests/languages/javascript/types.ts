// Members of type literals and interfaces split by commas or semicolons, quoted keys.
export interface Options {
  'name': string,
  "retries"?: number,
  'dash-case': boolean,
  timeout: number,
  run(input: string, flags: Map<string, number>): Promise<void>,
  [key: string]: unknown
}

export type Point = { x: number, y: number, 'z'?: number };
export type Pair<A, B> = { first: A, second: B, swap(): Pair<B, A> };

export enum Color {
  'Red' = 1,
  Green = 2,
  'Blue-ish' = 3,
}

export class Widget {
  'width': number = 0;
  private 'height' = 0;
  static create(): Widget {
    return new Widget;
  }
  area = (): number => (this.width * this.height);
  describe = () => ({ 'w': this.width, h: this.height });
}

export const defaults: { mode: string, level: number } = { 'mode': 'fast', level: 1 };
export const pick = (o: { a?: number, b?: number }) => (o.a ?? o.b) ?? 0;
export const first = (xs: number[]) => (xs.length, xs[0]);
export function build(): Widget[] {
  return [new Widget, new Widget()];
}
