#!/usr/bin/env bash
# Times a history run, matchling --git bench-root..main, over the first-parent
# commits of a repository made from real C++ sources by bench/history_repo.py
# (libstdc++'s headers, 300 commits), in milliseconds per commit; and another
# build of matchling side by side on the same repository.
#
#   bench/history.sh
#   BASELINE_REV=4060080 bench/history.sh     an earlier revision, built and timed too
#
# Environment: BENCH_DIR (scratch folder, default /tmp/matchling-history-bench),
# BUILD_DIR (Release build, default build-bench in the repository), MATCHLING
# (a built binary; skips the build), BASELINE (another binary), BASELINE_REV
# (a git revision to build and use as BASELINE), SOURCE (the C++ sources,
# default /usr/include/c++/12), COMMITS (default 300), RUNS (timed runs of
# matchling per mode, default 5), BASELINE_RUNS (of the baseline, default 1).
set -euo pipefail
export LC_ALL=C

repo=$(cd "$(dirname "$0")/.." && pwd)
bench_dir=${BENCH_DIR:-/tmp/matchling-history-bench}
build_dir=${BUILD_DIR:-$repo/build-bench}
source_dir=${SOURCE:-/usr/include/c++/12}
commits=${COMMITS:-300}
runs=${RUNS:-5}
baseline_runs=${BASELINE_RUNS:-1}

. "$repo/bench/common.sh"
need_tools git python3 setsid cmake awk
[ -d "$source_dir" ] || die "$source_dir is missing (Debian's libstdc++-12-dev); it is the source text"

# 1. The utility, built in Release unless one is given, and the baseline.
find_matchling
mkdir -p "$bench_dir"
find_baseline

# 2. The repository, made once (again when the generator changes).
history=$bench_dir/repo
stamp=$bench_dir/repo.stamp
if [ ! -e "$stamp" ] || [ "$stamp" -ot "$repo/bench/history_repo.py" ]; then
  say "bench: making the repository under $history (once)"
  rm -rf "$history"
  git init -q -b main "$history"
  python3 "$repo/bench/history_repo.py" "$source_dir" "$commits" | git -C "$history" fast-import --quiet
  touch "$stamp"
fi
range=bench-root..main
count=$(git -C "$history" rev-list --first-parent --count "$range")

# Runs one history run without a controlling terminal; sets wall_ms.
run_once() {
  local out=$1 t0 t1
  shift
  t0=$(date +%s%N)
  (cd "$history" && setsid -w "$@" </dev/null >"$out" 2>&1) || true
  t1=$(date +%s%N)
  wall_ms=$(( (t1 - t0) / 1000000 ))
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
time_runs() {
  local n=$1 i walls=""
  shift
  for ((i = 0; i < n; ++i)); do
    run_once "$bench_dir/out.txt" "$@"
    walls+="$wall_ms"$'\n'
  done
  med_ms=$(printf '%s' "$walls" | median)
}
# A report's verdicts: each commit's line without its reasons, and the summary.
verdicts() { sed -E 's/ \(([0-9]+) files: .*\) $/ (\1 files) /' "$1"; }

# 3. Checks, which warm the page cache too: every commit judged, and the
# baseline's verdicts the same.
for mode in --tokens --line-rules; do
  flags=(); [ "$mode" = --tokens ] && flags=(--tokens)
  run_once "$bench_dir/check$mode.txt" "$matchling" --git "$range" "${flags[@]}"
  grep -q "Matchling==> $count commits judged" "$bench_dir/check$mode.txt" ||
    die "matchling $mode: $(tail -5 "$bench_dir/check$mode.txt")"
  if [ -n "$baseline" ]; then
    run_once "$bench_dir/baseline$mode.txt" "$baseline" --git "$range" "${flags[@]}"
    cmp -s <(verdicts "$bench_dir/check$mode.txt") <(verdicts "$bench_dir/baseline$mode.txt") ||
      die "matchling $mode: the verdicts are not the baseline's (see $bench_dir/check$mode.txt)"
  fi
done

# 4. The timed runs.
say "bench: timing ($runs runs each, $baseline_runs of the baseline)"
uptime_before=$(uptime)
rows=""
for mode in --tokens --line-rules; do
  flags=(); [ "$mode" = --tokens ] && flags=(--tokens)
  time_runs "$runs" "$matchling" --git "$range" "${flags[@]}"
  rows+="matchling $mode $med_ms"$'\n'
  time_runs "$runs" "$matchling" --git "$range" "${flags[@]}" --jobs 1
  rows+="matchling-jobs-1 $mode $med_ms"$'\n'
  if [ -n "$baseline" ]; then
    time_runs "$baseline_runs" "$baseline" --git "$range" "${flags[@]}"
    rows+="baseline $mode $med_ms"$'\n'
  fi
done
uptime_after=$(uptime)

echo "Matchling history benchmark: $count first-parent commits of $range, made from $source_dir"
echo "matchling: $matchling"
[ -z "$baseline" ] || echo "baseline:  $baseline"
echo "median wall time ($runs runs; baseline $baseline_runs)"
echo "before: $uptime_before"
echo "after:  $uptime_after"
printf '%s' "$rows" | awk -v n="$count" '{
  printf "%-18s %-13s %9.3f s %9.1f ms/commit\n", $1, $2, $3 / 1000, $3 / n }'
for mode in --tokens --line-rules; do
  printf '%-13s %s\n' "$mode" "$(grep -o '[0-9]* commits judged.*' "$bench_dir/check$mode.txt")"
done
