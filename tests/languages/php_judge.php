<?php
// Makes and judges PHP pairs with PHP's own tokenizer, for the PHP lexer's
// tests.
//
//   php php_judge.php make OUT FILE...
// copies each FILE that PHP parses to OUT/orig/NNN.php, and writes of the
// same names these mutants of the copy, each where the file has what it
// needs: OUT/joined (two words with only blanks between them joined),
// OUT/string (a blank put inside the first string), OUT/html (a blank put
// before the first inline HTML), OUT/heredoc (a blank put before a
// heredoc's first body line), OUT/closenl (the line end after a close tag taken
// out), OUT/number (a digit added to the first integer) and OUT/operator
// (the first '.' made a '+').
//
//   php php_judge.php judge DIR_A DIR_B
// prints, for each file of DIR_A that DIR_B holds too, one line
//   NAME identical|same|differ
// "same" when both give equal token streams (by the tokenizer alone where
// PHP does not parse one of them), blanks and comments left out:
// strings and numbers by value, casts without blanks, a heredoc's body less
// its closing marker's indentation, a ";" before a close tag and a trailing comma
// before a closing bracket left out, and the line end a close tag takes as "\n".

function tokens(string $text, bool $parse = true): ?array
{
    try {
        return token_get_all($text, $parse ? TOKEN_PARSE : 0);
    } catch (Throwable $e) {
        return null;
    }
}

function text($t): string
{
    return is_array($t) ? $t[1] : $t;
}

function layout($t): bool
{
    return is_array($t) && in_array($t[0], [T_WHITESPACE, T_COMMENT, T_DOC_COMMENT], true);
}

function value(string $literal): string
{
    return var_export(eval('return ' . $literal . ';'), true);
}

// The stream PHP reads, as a list of strings.
function stream(array $ts): array
{
    $out = [];
    $casts = [T_INT_CAST, T_DOUBLE_CAST, T_STRING_CAST, T_ARRAY_CAST, T_OBJECT_CAST, T_BOOL_CAST, T_UNSET_CAST];
    for ($i = 0; $i < count($ts); ++$i) {
        $t = $ts[$i];
        if (layout($t))
            continue;
        $s = text($t);
        $id = is_array($t) ? $t[0] : 0;
        if ($id === T_OPEN_TAG || $id === T_OPEN_TAG_WITH_ECHO) {
            $s = rtrim($s);
        } elseif ($id === T_CLOSE_TAG) {
            $s = strlen($s) > 2 ? "?>\n" : '?>';
        } elseif (in_array($id, $casts, true)) {
            $s = str_replace([' ', "\t"], '', $s);
        } elseif ($id === T_CONSTANT_ENCAPSED_STRING || $id === T_LNUMBER || $id === T_DNUMBER) {
            $s = 'V:' . value($s);
        } elseif ($id === T_START_HEREDOC) {
            $head = preg_replace('/^(b?<<<)[ \t]*"?([^"\r\n]*)"?\r?\n?$/i', '$1$2', rtrim($s, "\r\n"));
            $body = '';
            for (++$i; $i < count($ts) && !(is_array($ts[$i]) && $ts[$i][0] === T_END_HEREDOC); ++$i)
                $body .= text($ts[$i]);
            $end = $i < count($ts) ? $ts[$i][1] : '';
            $indent = strlen($end) - strlen(ltrim($end, " \t"));
            $lines = explode("\n", $body);
            foreach ($lines as &$line) {
                $k = 0;
                while ($k < $indent && $k < strlen($line) && ($line[$k] === ' ' || $line[$k] === "\t"))
                    ++$k;
                $line = substr($line, $k);
            }
            $s = 'H:' . $head . "\n" . implode("\n", $lines) . ltrim($end);
        } elseif ($s === ';' || $s === ',') {
            $j = $i + 1;
            while ($j < count($ts) && layout($ts[$j]))
                ++$j;
            $next = $j < count($ts) ? $ts[$j] : null;
            $prev = end($out);
            if ($s === ';' && is_array($next) && $next[0] === T_CLOSE_TAG)
                continue;
            if ($s === ',' && in_array($next, [')', ']', '}'], true) && !in_array($prev, [',', '(', '['], true))
                continue;
        }
        $out[] = $s;
    }
    return $out;
}

function judge(string $a, string $b): string
{
    $x = file_get_contents($a);
    $y = file_get_contents($b);
    if ($x === $y)
        return 'identical';
    $tx = tokens($x);
    $ty = tokens($y);
    if ($tx === null || $ty === null) {
        // What PHP does not parse (a mutant, a formatter's slip) compares
        // by its tokens alone.
        $tx = tokens($x, false);
        $ty = tokens($y, false);
    }
    return stream($tx) === stream($ty) ? 'same' : 'differ';
}

// The mutant of kind made of text, or null when text has nothing it needs.
function mutant(string $kind, string $text): ?string
{
    $ts = tokens($text);
    $at = 0;
    $pieces = [];
    foreach ($ts as $t) {
        $pieces[] = [$at, $t];
        $at += strlen(text($t));
    }
    $splice = fn($start, $len, $by) => substr($text, 0, $start) . $by . substr($text, $start + $len);
    $word = fn($t) => is_array($t) && preg_match('/^[A-Za-z_]\w*$/', $t[1]);
    foreach ($pieces as $k => [$off, $t]) {
        $id = is_array($t) ? $t[0] : 0;
        $s = text($t);
        switch ($kind) {
        case 'joined':
            if ($id === T_WHITESPACE && preg_match('/^[ \t]+$/', $s) && $k > 0 && $word($pieces[$k - 1][1]) &&
                isset($pieces[$k + 1]) && $word($pieces[$k + 1][1]))
                return $splice($off, strlen($s), '');
            break;
        case 'string':
            if ($id === T_CONSTANT_ENCAPSED_STRING && strlen($s) >= 3 && ($s[0] === "'" || $s[0] === '"'))
                return $splice($off + 1, 0, ' ');
            break;
        case 'html':
            if ($id === T_INLINE_HTML)
                return $splice($off, 0, ' ');
            break;
        case 'heredoc':
            if ($id === T_START_HEREDOC && isset($pieces[$k + 1]) && text($pieces[$k + 1][1]) !== '' &&
                !(is_array($pieces[$k + 1][1]) && $pieces[$k + 1][1][0] === T_END_HEREDOC))
                return $splice($pieces[$k + 1][0], 0, ' ');
            break;
        case 'closenl':
            if ($id === T_CLOSE_TAG && strlen($s) > 2 && isset($pieces[$k + 1]))
                return $splice($off + 2, strlen($s) - 2, '');
            break;
        case 'number':
            if ($id === T_LNUMBER)
                return $splice($off + strlen($s), 0, '1');
            break;
        case 'operator':
            if ($s === '.')
                return $splice($off, 1, '+');
            break;
        }
    }
    return null;
}

if ($argv[1] === 'make') {
    $out = $argv[2];
    $kinds = ['joined', 'string', 'html', 'heredoc', 'closenl', 'number', 'operator'];
    foreach (array_merge(['orig'], $kinds) as $d)
        @mkdir("$out/$d", 0777, true);
    $n = 0;
    foreach (array_slice($argv, 3) as $file) {
        $text = file_get_contents($file);
        if ($text === false || tokens($text) === null)
            continue;
        $name = sprintf('%03d.php', $n++);
        file_put_contents("$out/orig/$name", $text);
        foreach ($kinds as $kind)
            if (($m = mutant($kind, $text)) !== null)
                file_put_contents("$out/$kind/$name", $m);
    }
} elseif ($argv[1] === 'judge') {
    foreach (scandir($argv[2]) as $name) {
        if ($name[0] === '.' || !is_file("$argv[3]/$name"))
            continue;
        echo $name, ' ', judge("$argv[2]/$name", "$argv[3]/$name"), "\n";
    }
}
