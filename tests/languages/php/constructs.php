<?php
declare(strict_types=1);

namespace App\Models;

use App\Contracts\{Repository, Cache};
use function strlen;
use const PHP_EOL;

#[Attribute(Attribute::TARGET_CLASS)]
final class Sample implements Repository
{
    public const LIMIT = 1_000;
    private const MASK = 0x1F | 0b1010 | 0o17 | 017;
    protected static ?self $instance = null;

    /**
     * A doc comment with an @param tag.
     */
    public function __construct(
        private readonly string $name,
        protected int|float $ratio = 1.5e-3,
        public array $items = [],
    ) {
    }

    public function describe(int $count): string
    {
        $label = 'It\'s a \\ test';
        $other = "Name: {$this->name}, first: {$this->items[0]}, key: {$this->items["k"]}";
        $simple = "Count $count and $this->name and ${count}";
        $raw = `ls -l`;
        $bin = b'bytes';
        # a hash comment
        // a line comment
        /* a block comment */
        $cast = (int) $this->ratio + (float) $count - (string) $count . (bool) $count;
        $x = $count <=> self::LIMIT;
        $y = $this?->name ?? 'none';
        $z = $count ** 2;
        $z **= 2;
        $z ??= 3;
        $fn = fn($v) => $v * 2;
        $spread = [...$this->items, ...[1, 2]];
        $match = match (true) {
            $count > 10 => 'many',
            $count > 1 => 'some',
            default => 'one',
        };
        return sprintf('%s %s %s', $label, $other, $simple) . $match . $raw . $bin . $cast . $x . $y . $fn($z);
    }

    public function heredocs(string $who): string
    {
        $text = <<<EOT
            Hello $who,
              indented {$this->name}
            and ${who}.
            EOT;
        $now = <<<'NOW'
        Raw $text {$not} \n
        NOW;
        $old = <<<"OLD"
Flush left $who
OLD;
        return $text . $now . $old;
    }

    public static function make(): static
    {
        return static::$instance ??= new static('x');
    }
}

enum Suit: string
{
    case Hearts = 'H';
    case Spades = 'S';

    public function color(): string
    {
        return match ($this) {
            self::Hearts => 'Red',
            self::Spades => 'Black',
        };
    }
}

interface Shape
{
    public function area(): float;
}

abstract class Base
{
    abstract protected function name(): string;
}

trait Greets
{
    public function greet(): string
    {
        return "Hi " . $this->name();
    }
}

function &refs(array &$a, ...$rest): array
{
    global $config;
    static $n = 0;
    $$config = $n++;
    foreach ($a as $k => &$v) {
        if ($k === 0 && $v !== null || !$v) {
            continue;
        } elseif ($k >= 1) {
            break;
        } else {
            $v .= '!';
        }
    }
    unset($v);
    try {
        throw new \RuntimeException("bad\tvalue\n");
    } catch (\RuntimeException | \LogicException $e) {
        echo $e->getMessage(), PHP_EOL;
    } finally {
        $n--;
    }
    list($p, $q) = [1, 2];
    [$p, $q] = [$q, $p];
    $f = function () use ($p): int {
        return $p << 2 >> 1;
    };
    while (false) {
    }
    do {
        $n += 1;
    } while ($n < 3);
    for ($i = 0, $j = 10; $i < $j; $i++, $j--) {
        $n = $i % 2 ? $n & 1 : $n ^ 1;
    }
    switch ($n) {
        case 1:
            $n = ~$n;
            break;
        default:
            $n = -$n;
    }
    $obj = new class {
        public $prop = .5;
    };
    return $a;
}

$value = refs($arr, 1, 2) ?: [];
echo $value instanceof \Countable ? 'yes' : 'no';
print "done\n";
