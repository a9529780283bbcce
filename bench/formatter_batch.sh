#!/usr/bin/env bash
# Times a formatter's dry run with prettier, file by file (--formatter,
# prettier started once a file) against one batch (--formatter-batch,
# prettier started once), on the JavaScript sources of tests/npm's
# node_modules, and compares the two reports. They differ where a package
# configures prettier (a "prettier" key in its package.json, a .prettierrc):
# the file-by-file run finds that configuration beside the file, the batch's
# copies are without it.
#
#   bench/formatter_batch.sh            # both sets below
#   SETS=prettier bench/formatter_batch.sh
#
# Sets: "prettier", the .js/.mjs/.cjs files of the prettier package (its
# bundles: 36 files, 11 MB); "packages", the .js/.mjs/.cjs files of every
# package there but typescript's four bundles of 9 MB each.
#
# Environment: MATCHLING (a built binary; default build/matchling), SETS,
# JOBS (--jobs of the file-by-file run, default one per core).
set -euo pipefail
export LC_ALL=C

repo=$(cd "$(dirname "$0")/.." && pwd)
matchling=${MATCHLING:-$repo/build/matchling}
modules=$repo/tests/npm/node_modules
sets=${SETS:-prettier packages}

. "$repo/bench/common.sh"
[ -x "$matchling" ] || die "no built matchling at $matchling"
[ -x "$modules/.bin/prettier" ] || die "prettier is missing: (cd tests/npm && npm ci)"
command -v setsid >/dev/null || die "setsid is missing"

# Paths relative to node_modules: prettier leaves alone a file whose path
# holds a node_modules directory, so the runs start there.
cd "$modules"
export PATH=$modules/.bin:$PATH
only_js=(--exclude '*.json' --exclude '*.ts' --exclude '*.mts' --exclude '*.cts' --exclude '*.jsx')
jobs=()
[ -n "${JOBS:-}" ] && jobs=(--jobs "$JOBS")
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

for set in $sets; do
  case $set in
  prettier) paths=(prettier) ;;
  packages) paths=($(ls -d */ | grep -v '^typescript/$')) ;;
  *) die "unknown set $set" ;;
  esac
  files=$(find "${paths[@]}" -type f \( -name '*.js' -o -name '*.mjs' -o -name '*.cjs' \) | wc -l)
  say "== $set: $files files, $(cat /proc/loadavg | cut -d' ' -f1) load"
  for mode in batch single; do
    if [ $mode = batch ]; then
      args=(--formatter-batch 'prettier --write {}' --timeout 3600)
    else
      args=(--formatter 'prettier --stdin-filepath {}' "${jobs[@]}")
    fi
    start=$(date +%s.%N)
    status=0
    setsid -w "$matchling" "${args[@]}" "${paths[@]}" "${only_js[@]}" --no-wait </dev/null >"$out/$set.$mode" || status=$?
    end=$(date +%s.%N)
    printf '%-8s %-7s %8.1f s  exit %d  %s\n' "$set" "$mode" "$(echo "$end - $start" | bc)" "$status" \
      "$(grep 'pairs\? compared' "$out/$set.$mode")"
  done
  if cmp -s "$out/$set.batch" "$out/$set.single"; then
    say "   the two reports are the same"
  else
    say "   the reports differ:"
    diff "$out/$set.single" "$out/$set.batch" | head -20 >&2
  fi
done
