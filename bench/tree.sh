#!/usr/bin/env bash
# Times matchling on two whole trees against diff -r (symbolic links not
# followed, as matchling does not follow them) and git diff: this
# machine's /usr/include and a re-laid-out copy of it.
#
#   bench/tree.sh
#
# Environment: BENCH_DIR (scratch folder, default /tmp/matchling-tree-bench),
# BUILD_DIR (Release build, default build-bench in the repository), MATCHLING
# (a built binary; skips the build), TREE (the tree, default /usr/include),
# RUNS (timed runs of each, default 5).
set -euo pipefail
export LC_ALL=C

repo=$(cd "$(dirname "$0")/.." && pwd)
bench_dir=${BENCH_DIR:-/tmp/matchling-tree-bench}
build_dir=${BUILD_DIR:-$repo/build-bench}
tree=${TREE:-/usr/include}
runs=${RUNS:-5}

. "$repo/bench/common.sh"
need_tools diff git awk setsid cmake xargs
[ -d "$tree" ] || die "$tree is missing"

# 1. The utility, built in Release unless one is given.
if [ -n "${MATCHLING:-}" ]; then
  matchling=$(cd "$(dirname "$MATCHLING")" && pwd)/$(basename "$MATCHLING")
else
  cmake -S "$repo" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build_dir" --target matchling -j2 >/dev/null
  matchling=$build_dir/matchling
fi

# 2. Three trees, made once: a copy of the tree, a second copy, and the copy
# with every regular file re-laid out by bench/relayout.awk (whitespace only;
# no preprocessor line touched, so the tokens stay the same too). Symbolic
# links are copied as links.
stamp=$bench_dir/trees.stamp
if [ ! -e "$stamp" ] || [ "$stamp" -ot "$repo/bench/relayout.awk" ]; then
  say "bench: copying $tree three ways under $bench_dir (once)"
  rm -rf "$bench_dir/copy" "$bench_dir/same" "$bench_dir/relaid"
  mkdir -p "$bench_dir"
  cp -a "$tree" "$bench_dir/copy"
  cp -a "$tree" "$bench_dir/same"
  cp -a "$tree" "$bench_dir/relaid"
  # The awk loop runs from the bench folder.
  (cd "$bench_dir" && find copy -type f -print0 | sed -z 's#^copy/##' |
    xargs -0 -P2 -n 200 sh -c 'for f; do awk -f "$0" "copy/$f" >"relaid/$f"; done' "$repo/bench/relayout.awk")
  touch "$stamp"
fi
files=$(find "$bench_dir/copy" -type f | wc -l)
bytes=$(du -sb "$bench_dir/copy" | cut -f1)

# Runs one command without a controlling terminal; sets wall_ms and status.
run_once() {
  local t0 t1
  t0=$(date +%s%N)
  set +e
  (cd "$bench_dir" && setsid -w "$@" </dev/null >"$bench_dir/out.txt" 2>&1)
  status=$?
  set -e
  t1=$(date +%s%N)
  wall_ms=$(( (t1 - t0) / 1000000 ))
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
time_tool() {
  local i walls=""
  for ((i = 0; i < runs; ++i)); do
    run_once "$@"
    walls+="$wall_ms"$'\n'
  done
  med_ms=$(printf '%s' "$walls" | median)
}

# 3. Checks, which warm the page cache too.
say "bench: checking the trees"
run_once "$matchling" copy relaid
grep -q 'Files compare equivalent' "$bench_dir/out.txt" || die "matchling: the trees are not equivalent: $(tail -5 "$bench_dir/out.txt")"
# Every file of the tree is C or C++, the standard library's headers without
# a file name ending among them: --language says so for every pair.
run_once "$matchling" copy relaid --tokens --language c
grep -q 'Files compare equivalent' "$bench_dir/out.txt" || die "matchling --tokens: the trees are not equivalent: $(grep -m5 -e 'Not equivalent' -e 'Not compared' "$bench_dir/out.txt")"
run_once diff -r -q --no-dereference copy same
[ "$status" -eq 0 ] || die "diff -r -q finds the copies different"

# 4. The timed runs.
say "bench: timing ($runs runs each)"
uptime_before=$(uptime)
time_tool diff -r -q --no-dereference copy same; ms_diff=$med_ms
time_tool diff -r -q -w --no-dereference copy relaid; ms_diffw=$med_ms
time_tool git diff --no-index -w --stat copy relaid; ms_git=$med_ms
time_tool "$matchling" copy relaid; ms_lines=$med_ms
time_tool "$matchling" copy relaid --tokens --language c; ms_tokens=$med_ms
time_tool "$matchling" copy relaid --jobs 1; ms_one=$med_ms
uptime_after=$(uptime)

echo "Matchling tree benchmark: $files files, $bytes bytes per tree ($tree)"
echo "matchling: $matchling"
echo "median wall time of $runs runs"
echo "before: $uptime_before"
echo "after:  $uptime_after"
awk -v d="$ms_diff" -v w="$ms_diffw" -v g="$ms_git" -v l="$ms_lines" -v t="$ms_tokens" -v o="$ms_one" 'BEGIN {
  printf "%-46s %8.3f s\n", "diff -r -q --no-dereference, identical copies", d / 1000
  printf "%-46s %8.3f s\n", "diff -r -q -w --no-dereference, re-laid-out pair", w / 1000
  printf "%-46s %8.3f s\n", "git diff --no-index -w --stat, re-laid-out pair", g / 1000
  printf "%-46s %8.3f s\n", "matchling, re-laid-out pair", l / 1000
  printf "%-46s %8.3f s\n", "matchling --tokens, re-laid-out pair", t / 1000
  printf "%-46s %8.3f s\n", "matchling --jobs 1, re-laid-out pair", o / 1000
  printf "matchling / diff -r -q:          %5.2fx  (target at most 1.5x)\n", l / d
  printf "matchling --tokens / diff -r -q: %5.2fx  (target at most 1.5x)\n", t / d
  printf "diff -r -q -w / matchling:       %5.2fx  (target at least 2x)\n", w / l }'
