# Code black reformats in ways the parentheses and string rules must see
# through: match statements, conditional expressions as elements, yield
# tuples, generators as sole arguments, f-strings and named escapes.


def classify(point, items, flag):
    match (point):
        case (0, 0):
            label = "origin"
        case (x, 0) if (x > 0):
            label = F"right of {'origin'} by {x!r}"
        case [(a), (b)] if (a == b):
            label = f'diagonal {a}' f"!"
        case {"kind": (kind)}:
            label = f'kind {kind}' 'kind{}'
        case _:
            label = ("other" if flag else "\N{em dash}")
    table = {
        "label": (label if flag else None),
        "size": (len(items) if items else 0),
    }
    chosen = [(items[0] if items else None)]
    total = sum((x * x for x in items))
    print((x for x in items))
    first = max(items, key=(lambda item: item), default=(0 if flag else 1))
    return table, chosen, total, first, (label if flag else (None if items else "\N{bullet}"))


def pairs(items):
    for item in items:
        yield (item, item * 2)
        received = yield (item, None)
        print(received, f'{item}' f'"')
    yield (len(items) if items else 0)
