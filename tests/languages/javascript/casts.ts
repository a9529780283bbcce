// Parentheses prettier takes out of types and around casts.
let check: (() => boolean);
let maybe: (string | null) = null;
type Handler = ((event: Event) => void);
function on(name: string, handler: (Handler | null), once: boolean) {}

const anyValue = (input as any);
const sure = (input satisfies Shape);
const twice = (input as unknown) as Shape;
const either = fallback || (input as Shape);
const count = a ** (b ** c) + (x * y) % z;
export default (either ?? sure);
const asserted = <Shape>(input);
const assertedMember = <Shape>(input.value);
const sureValue = (input!);
const sureMember = (input!).value + (input)!.size;
const nothing = void (0);
type Extent = {
  width: number
  height: number
}
interface Sized {
  get
  size(): number
  at
  (index: number): Shape
}
