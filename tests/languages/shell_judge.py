# The shell tests' judge: picks scripts of this machine and formats them with
# shfmt, then fingerprints shfmt's own syntax tree of each file, positions
# and comments (Comments, and the trailing ones: Last, ThenLast, ...) taken
# out, and a <<- body's leading tabs as the shell takes
# them off; and its "#!" first line as the kernel reads it (shfmt -mn drops
# it with the comments).
#
#   shell_judge.py pick ROOT COUNT: copies every third script (sorted) with a
#     sh, bash, dash or ksh "#!" line that shfmt's bash parser reads, up to
#     COUNT, to ROOT/orig/NNN.sh, and shfmt's output to ROOT/default,
#     ROOT/indented (-i 2 -bn -ci -sr) and ROOT/minified (-mn)
#   shell_judge.py trees ROOT DIR...: writes ROOT/trees/DIR/NAME per file
#   shell_judge.py values ROOT DIR...: the same in ROOT/values, with what
#     shfmt -s rewrites read by its value: a quoted part outside double
#     quotes as the text it stands for, whichever quotes (a "..." of plain
#     text with its escapes taken out), backquotes as $(...), ${a} as $a and
#     ${a:-} as ${a-}
import hashlib, json, os, re, subprocess, sys

SHEBANG = re.compile(rb'^#! */(usr/)?bin/(env +)?(sh|bash|dash|ksh)( |$)')
SETTINGS = {'default': [], 'indented': ['-i', '2', '-bn', '-ci', '-sr'], 'minified': ['-mn'], 'simplified': ['-s']}
IF_UNSET, IF_UNSET_OR_EMPTY = 70, 71  # shfmt's operator codes of - and :- in ${...}


def shfmt(args, data):
    r = subprocess.run(['shfmt', '-ln', 'bash'] + args, input=data, capture_output=True)
    return r.stdout if r.returncode == 0 else None


def pick(root, count):
    found = []
    for top in ('/usr/bin', '/usr/share'):
        for d, dirs, files in os.walk(top):
            dirs.sort()
            for f in files:
                p = os.path.join(d, f)
                try:
                    if os.path.islink(p) or not (300 < os.path.getsize(p) < 60000):
                        continue
                    with open(p, 'rb') as h:
                        if SHEBANG.match(h.readline()):
                            found.append(p)
                except OSError:
                    pass
    found.sort()
    n = 0
    for p in found[::3]:
        if n == count:
            break
        data = open(p, 'rb').read()
        outs = {k: shfmt(a, data) for k, a in SETTINGS.items()}
        if any(v is None for v in outs.values()):
            continue
        name = '%03d.sh' % n
        n += 1
        for k, v in [('orig', data)] + list(outs.items()):
            os.makedirs(os.path.join(root, k), exist_ok=True)
            open(os.path.join(root, k, name), 'wb').write(v)
        print(name, p)


DASH_HEREDOC = 62  # shfmt's operator code of <<-


def untab(parts):
    """The parts of a <<- body with the tabs that start each line taken off, as the shell reads it."""
    start = True
    for part in parts:
        if part.get('Type') != 'Lit':
            start = False
            continue
        out = []
        for c in part['Value']:
            if start and c == '\t':
                continue
            start = c == '\n'
            out.append(c)
        part['Value'] = ''.join(out)


def strip(v):
    if isinstance(v, dict):
        if v.get('Op') == DASH_HEREDOC and isinstance(v.get('Hdoc'), dict):
            untab(v['Hdoc'].get('Parts', []))
        return {k: strip(x) for k, x in v.items()
                if k != 'Comments' and not k.endswith('Last') and not (isinstance(x, dict) and 'Offset' in x)}
    if isinstance(v, list):
        return [strip(x) for x in v]
    return v


def values(v, quoted=False):
    """v read by value (see the top); quoted: v stands inside double quotes,
    where a shell reads quotes otherwise than shfmt's tree says."""
    if isinstance(v, list):
        return [values(x, quoted) for x in v]
    if not isinstance(v, dict):
        return v
    kind = v.get('Type')
    if not quoted and not v.get('Dollar'):
        if kind == 'SglQuoted':
            return {'Type': 'Quoted', 'Value': v.get('Value', '')}
        parts = v.get('Parts', [])
        if kind == 'DblQuoted' and all(p.get('Type') == 'Lit' for p in parts):
            text = ''.join(p['Value'] for p in parts)
            return {'Type': 'Quoted', 'Value': re.sub(r'\\([$`"\\\n])', lambda m: m.group(1).strip('\n'), text)}
    inner = kind == 'DblQuoted' or (quoted and not (kind == 'CmdSubst' and not v.get('Backquotes')))
    out = {k: values(x, inner) for k, x in v.items() if k not in ('Backquotes', 'Short')}
    exp = out.get('Exp')
    if kind == 'ParamExp' and isinstance(exp, dict) and exp.get('Op') == IF_UNSET_OR_EMPTY and not exp.get('Word'):
        exp["Op"] = IF_UNSET
    return out


def trees(root, dirs, byValue=False):
    for d in dirs:
        os.makedirs(os.path.join(root, 'values' if byValue else 'trees', d), exist_ok=True)
        for name in sorted(os.listdir(os.path.join(root, d))):
            data = open(os.path.join(root, d, name), 'rb').read()
            out = shfmt(['--to-json'], data)
            tree = strip(json.loads(out)) if out else None
            tree = json.dumps(values(tree) if byValue else tree, sort_keys=True) if out else 'unreadable'
            first = data.split(b'\n', 1)[0]
            if first.startswith(b'#!'):
                rest = first[2:-1] if first.endswith(b'\r') else first[2:]
                tree += repr(b'#!' + rest.strip(b' \t'))
            open(os.path.join(root, 'values' if byValue else 'trees', d, name), 'w').write(
                hashlib.sha256(tree.encode()).hexdigest())


if sys.argv[1] == 'pick':
    pick(sys.argv[2], int(sys.argv[3]))
else:
    trees(sys.argv[2], sys.argv[3:], sys.argv[1] == 'values')
