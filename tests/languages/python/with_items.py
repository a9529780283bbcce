# With statements as black's sources write them: parentheses around items,
# around one item and its target, and items continued by backslashes that
# black's preview style puts in parentheses.
import contextlib


def read(first, second, third):
    with (open(first) as f):
        data = f.read()
    with (open(first) as f, open(second) as g):
        data += f.read() + g.read()
    with (open(first), open(second)):
        pass
    with (
        open(first) as f,
        open(second) as g,
    ):
        data += f.read() + g.read()
    with open(first) as aaaaaaaaaaaaaaaaaaaaaaaaaaaa, \
            open(second) as bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb:
        data += aaaaaaaaaaaaaaaaaaaaaaaaaaaa.read()
    with contextlib.ExitStack() as stack, \
            open(third) as cccccccccccccccccccccccccccccccccccccccccccccccccccccccc:
        stack.enter_context(open(first))
    with (contextlib.nullcontext(1)) as one:
        data += str(one)
    with (contextlib.nullcontext((1, 2))) as (x, y):
        data += str(x + y)
    return data


async def copy(lock, source):
    async with (lock as held, source as s):
        return held, s
