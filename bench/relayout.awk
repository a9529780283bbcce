# Re-lays out C++ source the way a formatter might, changing whitespace only:
# new indentation, blanks at some line ends, CR LF line ends, and short lines
# joined or long lines split at a blank. Deterministic: every choice depends on
# the line number alone.
#
# A line is joined or split only when that cannot change its meaning, for the
# compiler or for Matchling's line rules: it holds no '/', no quote of either
# kind, no backslash and no '#' (so no piece of it can become a preprocessor
# line), and does not continue a line.
# Such a line normalizes to its text without whitespace, so joining and
# splitting it keeps the normalized text. A line that continues a backslash
# line is left as it stands, and a line with a quote gets no trailing blanks:
# either may be inside a literal, where blanks count. Run with LC_ALL=C.

BEGIN {
    ORS = "\r\n"
    joinLimit = 100  # longest joined line, before its indentation
    splitFrom = 64   # longer lines are split in two
}

function spaces(n,    s) {
    s = ""
    while (n-- > 0)
        s = s " "
    return s
}

function tabs(n,    s) {
    s = ""
    while (n-- > 0)
        s = s "\t"
    return s
}

# The new indentation for a line indented by width columns.
function indentFor(width) {
    if (width == 0)
        return NR % 5 == 0 ? " " : ""
    if (NR % 2)
        return spaces(width * 2)
    return tabs(int(width / 4)) spaces(width % 4)
}

# Blanks to append at the end of a line.
function trailing(text) {
    if (text ~ /\\$/ || text ~ /["']/ || NR % 3 != 0)
        return ""
    return NR % 2 ? "  " : "\t "
}

function flush() {
    if (held) {
        print heldIndent heldText trailing(heldText)
        held = 0
    }
}

{
    line = $0
    continued = afterBackslash
    afterBackslash = line ~ /\\$/

    match(line, /^[ \t]*/)
    lead = substr(line, 1, RLENGTH)
    body = substr(line, RLENGTH + 1)
    width = 0
    for (i = 1; i <= length(lead); ++i)
        width = substr(lead, i, 1) == "\t" ? width - width % 8 + 8 : width + 1
    indent = indentFor(width)

    if (continued) {
        flush()
        print line
        next
    }
    free = body != "" && body !~ /[\/"'\\#]/
    if (!free) {
        flush()
        print indent body trailing(body)
        next
    }

    # Joined onto the line held back, when it fits.
    if (held && length(heldText) + 1 + length(body) <= joinLimit && NR % 4 != 0) {
        heldText = heldText " " body
        next
    }
    flush()

    # Split at the blank nearest after the middle; the second half may be joined.
    if (length(body) > splitFrom) {
        mid = int(length(body) / 2)
        cut = index(substr(body, mid), " ")
        if (cut > 0) {
            cut += mid - 1
            print indent substr(body, 1, cut - 1)
            body = substr(body, cut + 1)
            indent = indent "    "
        }
    }
    held = 1
    heldIndent = indent
    heldText = body
}

END {
    flush()
}
