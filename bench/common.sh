# What the benchmark scripts share; each sets repo, build_dir and bench_dir,
# then sources this file.

say() { printf '%s\n' "$*" >&2; }
die() { say "bench: $*"; exit 1; }

# Stops unless each named program is on the PATH.
need_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || die "$tool is missing"
  done
}

# Sets matchling: $MATCHLING as an absolute path, else a Release build of the
# work tree in $build_dir.
find_matchling() {
  if [ -n "${MATCHLING:-}" ]; then
    matchling=$(cd "$(dirname "$MATCHLING")" && pwd)/$(basename "$MATCHLING")
  else
    cmake -S "$repo" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build_dir" --target matchling -j2 >/dev/null
    matchling=$build_dir/matchling
  fi
  [ -x "$matchling" ] || die "no binary at $matchling"
}

# Sets baseline: $BASELINE as an absolute path; else, with $BASELINE_REV,
# that revision exported under $bench_dir (git archive leaves the work tree
# alone) and built; else empty.
find_baseline() {
  baseline=""
  if [ -n "${BASELINE_REV:-}" ]; then
    local rev_dir=$bench_dir/rev-$BASELINE_REV
    if [ ! -x "$rev_dir/build/matchling" ]; then
      rm -rf "$rev_dir" && mkdir -p "$rev_dir/tree"
      git -C "$repo" archive "$BASELINE_REV" | tar -x -C "$rev_dir/tree"
      cmake -S "$rev_dir/tree" -B "$rev_dir/build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
      cmake --build "$rev_dir/build" --target matchling -j2 >/dev/null
    fi
    BASELINE=$rev_dir/build/matchling
  fi
  if [ -n "${BASELINE:-}" ]; then
    baseline=$(cd "$(dirname "$BASELINE")" && pwd)/$(basename "$BASELINE")
    [ -x "$baseline" ] || die "no binary at $BASELINE"
  fi
}
