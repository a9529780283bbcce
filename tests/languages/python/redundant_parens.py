# Parentheses black takes out where they change nothing: conditions, for
# targets and iterables, right-hand sides, return values, await, assert and
# nested pairs; and those it keeps: tuples, generators, yield as an argument.


def walk(items, limit):
    total = (0)
    for (item) in (items):
        if (item > limit):
            continue
        elif (not item):
            break
        total += (item)
    for (key, value) in items.items():
        total += (key * value)
    while (total > limit):
        total -= (1)
    assert (total >= 0), (total)
    print((total, limit))
    print((x for x in items))
    first, second = (items), (limit)
    del (first)
    del (first, second)
    return ((total))


def gen():
    received = ((yield))
    print((yield received))
    return (received)


async def wait(task):
    result = await (task)
    return (not result)
