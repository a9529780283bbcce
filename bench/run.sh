#!/usr/bin/env bash
# Times matchling against cmp, diff -w and git diff on a generated C++ pair.
#
#   bench/run.sh [SIZE_MB]               the table, on a pair of SIZE_MB each (default 200)
#   bench/run.sh --memory SIZE_MB...     matchling's peak memory only, one pair per size
#
# Environment: BENCH_DIR (scratch folder, default /tmp/matchling-bench),
# BUILD_DIR (Release build, default build-bench in the repository),
# MATCHLING (a built binary; skips the build), BASELINE (another binary, say
# an earlier build, timed in the same run on the same pair), BASELINE_REV (a
# git revision to build and use as BASELINE), RUNS (timed runs of matchling
# and cmp, default 5), SLOW_RUNS (timed runs of the two diffs, default 3),
# BENCH_HEADERS (the folder of C++ text, default /usr/include/c++/12).
# Sizes are in MB of 10^6 bytes.
set -euo pipefail
export LC_ALL=C

repo=$(cd "$(dirname "$0")/.." && pwd)
bench_dir=${BENCH_DIR:-/tmp/matchling-bench}
build_dir=${BUILD_DIR:-$repo/build-bench}
runs=${RUNS:-5}
slow_runs=${SLOW_RUNS:-3}
headers=${BENCH_HEADERS:-/usr/include/c++/12}

. "$repo/bench/common.sh"

# 1. Tools. Peak memory comes from GNU time, which Debian ships separately.
if [ ! -x /usr/bin/time ]; then
  say "bench: /usr/bin/time is missing; installing Debian's time package with apt-get"
  apt-get install -y -q time >&2 || die "could not install the time package"
fi
need_tools cmp diff git awk tr setsid cmake
[ -d "$headers" ] || die "$headers is missing (Debian's libstdc++-12-dev); it is the source text"

# 2. The utility, built in Release unless one is given.
find_matchling
find_baseline

# 3. The base text: every libstdc++ header, in byte order of path, about 11.7 MB
# of varied C++ ending in a line feed; and its re-laid-out twin.
mkdir -p "$bench_dir"
base=$bench_dir/base.cpp
if [ ! -s "$base" ] || [ "$bench_dir/base.stamp" -ot "$repo/bench/relayout.awk" ]; then
  find "$headers" -type f -print0 | sort -z | xargs -0 cat >"$base"
  awk -f "$repo/bench/relayout.awk" "$base" >"$bench_dir/base-relaid.cpp"
  touch "$bench_dir/base.stamp"
fi
base_bytes=$(wc -c <"$base")

# Makes the pair of size_mb under its own folder, once: the base repeated, then
# a first part of it cut at a line end, so the source is size_mb to within a line.
make_pair() {
  local size_mb=$1 dir=$bench_dir/$1mb
  local want=$((size_mb * 1000000)) copies rest lines i
  if [ -s "$dir/relaid.cpp" ] && [ "$dir/relaid.cpp" -nt "$bench_dir/base.stamp" ]; then
    return
  fi
  mkdir -p "$dir"
  copies=$((want / base_bytes))
  rest=$((want - copies * base_bytes))
  lines=$(head -c "$rest" "$base" | wc -l)
  [ "$(head -c "$rest" "$base" | tail -c 1)" = "" ] || lines=$((lines + 1))
  head -n "$lines" "$base" >"$dir/tail.cpp"
  awk -f "$repo/bench/relayout.awk" "$dir/tail.cpp" >"$dir/tail-relaid.cpp"
  : >"$dir/source.cpp"
  : >"$dir/relaid.cpp.part"
  for ((i = 0; i < copies; ++i)); do
    cat "$base" >>"$dir/source.cpp"
    cat "$bench_dir/base-relaid.cpp" >>"$dir/relaid.cpp.part"
  done
  cat "$dir/tail.cpp" >>"$dir/source.cpp"
  cat "$dir/tail-relaid.cpp" >>"$dir/relaid.cpp.part"
  cp "$dir/source.cpp" "$dir/copy.cpp"
  rm -f "$dir/tail.cpp" "$dir/tail-relaid.cpp"
  mv "$dir/relaid.cpp.part" "$dir/relaid.cpp"
}

# Runs one command in dir without a controlling terminal and sets wall_ms
# (wall time, ms), rss_kib (peak resident memory) and status (exit status).
run_once() {
  local dir=$1 t0 t1
  shift
  t0=$(date +%s%N)
  set +e
  (cd "$dir" && setsid -w /usr/bin/time -v -o "$bench_dir/time.txt" "$@" </dev/null >"$bench_dir/out.txt" 2>&1)
  status=$?
  set -e
  t1=$(date +%s%N)
  wall_ms=$(( (t1 - t0) / 1000000 ))
  rss_kib=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$bench_dir/time.txt")
}

# Checks, before anything is timed, that the pair is what it claims to be.
verify_pair() {
  local dir=$1
  cmp -s <(tr -d ' \t\r\n' <"$dir/source.cpp") <(tr -d ' \t\r\n' <"$dir/relaid.cpp") ||
    die "$dir: the re-laid-out file differs from the source in more than whitespace"
  cmp -s "$dir/source.cpp" "$dir/relaid.cpp" && die "$dir: the re-laid-out file is not re-laid out"
  cmp -s "$dir/source.cpp" "$dir/copy.cpp" || die "$dir: the copy differs from the source"
  run_once "$dir" "$matchling" source.cpp relaid.cpp
  [ "$status" -eq 0 ] && grep -q 'Files compare equivalent' "$bench_dir/out.txt" ||
    die "$dir: matchling does not find the pair equivalent: $(cat "$bench_dir/out.txt")"
  run_once "$dir" "$matchling" source.cpp relaid.cpp --tokens
  [ "$status" -eq 0 ] && grep -q 'Files compare equivalent' "$bench_dir/out.txt" ||
    die "$dir: matchling --tokens does not find the pair equivalent: $(head -20 "$bench_dir/out.txt")"
  [ ! -e "$dir/Matchlinga.tmp" ] && [ ! -e "$dir/Matchlingb.tmp" ] || die "$dir: temporary files left"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
load() { cut -d' ' -f1 /proc/loadavg; }

# Times one tool count times; sets med_ms, max_rss_kib and load_at (1-minute
# load average at the start of the runs).
time_tool() {
  local dir=$1 count=$2 i walls=""
  shift 2
  load_at=$(load)
  max_rss_kib=0
  for ((i = 0; i < count; ++i)); do
    run_once "$dir" "$@"
    walls+="$wall_ms"$'\n'
    [ "$rss_kib" -gt "$max_rss_kib" ] && max_rss_kib=$rss_kib
  done
  med_ms=$(printf '%s' "$walls" | median)
}

if [ "${1:-}" = "--memory" ]; then
  shift
  [ $# -gt 0 ] || die "--memory needs at least one size in MB"
  printf '%-8s %12s %14s %14s %6s\n' "size" "bytes" "peak RSS KiB" "baseline KiB" "load"
  for size in "$@"; do
    make_pair "$size"
    verify_pair "$bench_dir/${size}mb"
    time_tool "$bench_dir/${size}mb" 1 "$matchling" source.cpp relaid.cpp
    rss=$max_rss_kib
    base_rss=-
    if [ -n "$baseline" ]; then
      time_tool "$bench_dir/${size}mb" 1 "$baseline" source.cpp relaid.cpp
      base_rss=$max_rss_kib
    fi
    printf '%-8s %12s %14s %14s %6s\n' "${size}MB" "$(wc -c <"$bench_dir/${size}mb/source.cpp")" "$rss" "$base_rss" "$load_at"
  done
  exit 0
fi

size=${1:-200}
dir=$bench_dir/${size}mb
say "bench: making the ${size} MB pair under $dir"
make_pair "$size"
src_bytes=$(wc -c <"$dir/source.cpp")
rel_bytes=$(wc -c <"$dir/relaid.cpp")

# 4. Checks and warm-up: every input read once, so the timed runs find them in
# the page cache; the checking run of matchling is its warm-up run.
say "bench: checking the pair (the check also warms the page cache)"
cat "$dir/source.cpp" "$dir/copy.cpp" "$dir/relaid.cpp" >/dev/null
verify_pair "$dir"
if [ -n "$baseline" ]; then
  run_once "$dir" "$baseline" source.cpp relaid.cpp
  grep -q 'Files compare equivalent' "$bench_dir/out.txt" || die "the baseline binary does not find the pair equivalent"
fi
run_once "$dir" cmp source.cpp copy.cpp
[ "$status" -eq 0 ] || die "cmp finds the copy different"

# 5. The timed runs.
uptime_before=$(uptime)
say "bench: timing ($runs runs of matchling and cmp, $slow_runs of each diff)"
results=()
record() {  # name input_bytes
  results+=("$1|$med_ms|$2|$max_rss_kib|$load_at")
  eval "ms_$3=$med_ms"
}
time_tool "$dir" "$runs" "$matchling" source.cpp relaid.cpp
record "matchling (equivalent pair)" $((src_bytes + rel_bytes)) matchling
time_tool "$dir" "$runs" "$matchling" source.cpp relaid.cpp --tokens
record "matchling --tokens" $((src_bytes + rel_bytes)) tokens
if [ -n "$baseline" ]; then
  time_tool "$dir" "$runs" "$baseline" source.cpp relaid.cpp
  record "matchling, baseline binary" $((src_bytes + rel_bytes)) baseline
fi
time_tool "$dir" "$runs" cmp source.cpp copy.cpp
record "cmp (identical copy)" $((2 * src_bytes)) cmp
time_tool "$dir" "$slow_runs" diff -w -q source.cpp relaid.cpp
record "diff -w -q" $((src_bytes + rel_bytes)) diff
time_tool "$dir" "$slow_runs" git diff --no-index --ignore-all-space --quiet source.cpp relaid.cpp
record "git diff --ignore-all-space" $((src_bytes + rel_bytes)) git
uptime_after=$(uptime)

# 6. The table.
echo "Matchling benchmark: source $src_bytes bytes, re-laid-out $rel_bytes bytes ($size MB pair)"
echo "matchling: $matchling"
echo "median wall time of the timed runs; MB/s = bytes of both inputs / time; RSS = largest of the runs"
echo "before: $uptime_before"
echo "after:  $uptime_after"
printf '%-30s %10s %10s %14s %6s\n' "tool" "wall s" "MB/s" "peak RSS KiB" "load"
for row in "${results[@]}"; do
  IFS='|' read -r name ms bytes rss ld <<<"$row"
  awk -v n="$name" -v ms="$ms" -v b="$bytes" -v r="$rss" -v l="$ld" 'BEGIN {
    printf "%-30s %10.3f %10.0f %14d %6s\n", n, ms / 1000, (ms > 0 ? b / 1e6 / (ms / 1000) : 0), r, l }'
done
awk -v m="$ms_matchling" -v c="$ms_cmp" -v d="$ms_diff" -v g="$ms_git" -v b="${ms_baseline:-0}" -v t="$ms_tokens" 'BEGIN {
  printf "matchling / cmp:      %5.2fx  (target at most 3x)\n", m / c
  printf "--tokens / default:   %5.2fx  (target at most 1.5x)\n", t / m
  printf "diff -w / matchling:  %5.1fx  (target at least 15x)\n", d / m
  printf "git diff / matchling: %5.1fx\n", g / m
  if (b > 0)
    printf "baseline / cmp:       %5.2fx  (baseline / matchling %.2fx)\n", b / c, b / m }'
