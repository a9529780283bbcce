#!/usr/bin/env bash
# The step of the Matchling GitHub Action (action.yml): finds or builds
# matchling, judges a commit against its first parent (a pull request's merge
# commit: all its commits together) with --format sarif, and writes the log.
#
# Environment, as action.yml sets it from its inputs:
#   MATCHLING_ARGS      options after "--git REV --format sarif" (default --tokens)
#   MATCHLING_REVISION  the commit to judge (default HEAD)
#   MATCHLING_SARIF     where the log goes (default matchling.sarif)
#   MATCHLING_FAIL      "true": exit 1 when something changed beyond layout
#   MATCHLING_BIN       a matchling to run; else the PATH's, else one built
#                       from MATCHLING_SOURCE into $RUNNER_TEMP
#   GITHUB_OUTPUT       where the outputs "sarif" and "verdict" go (none when unset)
# Exit status: 0, 1 for findings with MATCHLING_FAIL=true, 2 when the check
# could not be made.
set -uo pipefail

args=${MATCHLING_ARGS-"--tokens"}
revision=${MATCHLING_REVISION:-HEAD}
sarif=${MATCHLING_SARIF:-matchling.sarif}
fail=${MATCHLING_FAIL:-true}

say() { printf '%s\n' "$*" >&2; }
# Workflow commands: the runner reads them on standard output.
command_line() { printf '%s\n' "$*"; }
output() { [ -n "${GITHUB_OUTPUT:-}" ] && printf '%s=%s\n' "$1" "$2" >>"$GITHUB_OUTPUT"; return 0; }
trouble() {
  command_line "::error title=Matchling::$*"
  output verdict failed
  exit 2
}

# 1. matchling: the one named, the PATH's, or one built from the sources.
matchling=${MATCHLING_BIN:-}
if [ -z "$matchling" ]; then
  matchling=$(command -v matchling || true)
fi
if [ -z "$matchling" ]; then
  source_dir=${MATCHLING_SOURCE:-$(cd "$(dirname "$0")/.." && pwd)}
  build_dir=${RUNNER_TEMP:-/tmp}/matchling-build
  say "Building matchling from $source_dir"
  cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >&2 &&
    cmake --build "$build_dir" --target matchling -j "$(nproc 2>/dev/null || echo 2)" >&2 ||
    trouble "matchling could not be built from $source_dir"
  matchling=$build_dir/matchling
fi
[ -x "$matchling" ] || trouble "no matchling to run at $matchling"

# 2. The first parent, which a shallow checkout may lack.
if ! git rev-parse --verify --quiet "$revision^1^{commit}" >/dev/null; then
  git fetch --no-tags --quiet --deepen=1 origin >&2 2>/dev/null || true
  git rev-parse --verify --quiet "$revision^1^{commit}" >/dev/null ||
    trouble "$revision has no first parent here: check out with fetch-depth: 2"
fi
if [ "${GITHUB_EVENT_NAME:-}" = pull_request ] && [ "$(git rev-list --parents -n 1 "$revision" | wc -w)" -lt 3 ]; then
  command_line "::warning title=Matchling::$revision is no merge commit: only its own change is judged, not the whole pull request's"
fi

# 3. The check. Its status: 0 layout only, 1 findings, 2 no check.
# shellcheck disable=SC2086 # the options are words
"$matchling" --git "$revision" --format sarif $args >"$sarif"
status=$?
output sarif "$sarif"
case $status in
0) output verdict equivalent ;;
1)
  output verdict not-equivalent
  say "Matchling: changes beyond layout, listed in $sarif"
  [ "$fail" = true ] && exit 1
  ;;
*) trouble "matchling could not judge $revision (exit status $status); $sarif says why" ;;
esac
exit 0
