# Classes as black's sources write them: an empty base list, which black
# takes out, beside bases and calls it keeps.


class Empty():
    pass


class Spaced( ):
    """Doc."""

    def method(self):
        return Empty()


class Based(Empty):
    x = Spaced()


def make():
    class Local():
        pass

    return Local, Based()
