#!/usr/bin/env bash
# Runs the same searches as whole processes with vellum-cli and with Debian's peers, side by
# side, and prints each one's median wall time and the ratio vellum / peer.
#
#   bash bench/compare.sh [BUILD_DIR]        (default BUILD_DIR: build)
#
# Peers, each skipped when it is not installed:
#   bible     (package bible-kjv): the "??word" concordance search
#   diatheke  (packages diatheke, sword-text-kjv): -s multiword, -s phrase and, once the
#             module's index has been built with mkfastmod (package libsword-utils; the script
#             builds it when missing and it can), -s lucene
#
# The module searched by vellum-cli: $VELLUM_MODULE_DIR/$VELLUM_MODULE when both are set (for
# example an imported kjv.bib), otherwise the generated whole-Bible module that
# search_bench --write-module writes (same verse count and about the same number of words as
# the King James Version). RUNS (default 11) sets how many times each command runs.
set -euo pipefail

build=${1:-build}
runs=${RUNS:-11}
cli=${VELLUM_CLI:-$build/tools/vellum-cli}
bench=${VELLUM_SEARCH_BENCH:-$build/bench/search_bench}
sword_module=${SWORD_MODULE:-engKJV2006eb}

if [[ ! -x $cli ]]; then
  echo "compare.sh: $cli not found; build the vellum-cli target first" >&2
  exit 2
fi
if [[ -n ${VELLUM_MODULE_DIR:-} && -n ${VELLUM_MODULE:-} ]]; then
  module_dir=$VELLUM_MODULE_DIR
  module=$VELLUM_MODULE
else
  module_dir=${TMPDIR:-/tmp}/vellum-compare
  module=bench.bib
  if [[ ! -f $module_dir/$module ]]; then
    if [[ ! -x $bench ]]; then
      echo "compare.sh: no module given and $bench not built (target search_bench)" >&2
      exit 2
    fi
    mkdir -p "$module_dir"
    "$bench" --write-module "$module_dir"
  fi
fi

have() { command -v "$1" > /dev/null 2>&1; }

# Wall time of one run of a command, in milliseconds (output discarded).
run_ms() {
  local start end
  start=$EPOCHREALTIME
  "$@" > /dev/null 2>&1 || true
  end=$EPOCHREALTIME
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", (e - s) * 1000 }'
}

median() { sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'; }

vellum() { "$cli" -d "$module_dir" -b "$module" search "$@"; }

has_diatheke=0
if have diatheke; then
  modules=$(diatheke -b system -k modulelist 2> /dev/null || true)
  if grep -q "^$sword_module " <<< "$modules"; then has_diatheke=1; fi
fi
has_lucene=0
if ((has_diatheke)); then
  lucene_dir=$(find /usr/share/sword/modules ~/.sword/modules -maxdepth 4 -type d \
    -iname "$sword_module" 2> /dev/null | head -n 1 || true)
  if [[ -n $lucene_dir && ! -d $lucene_dir/lucene ]] && have mkfastmod; then
    echo "Building the search index of $sword_module with mkfastmod (once)..." >&2
    mkfastmod "$sword_module" > /dev/null 2>&1 || true
  fi
  if [[ -n $lucene_dir && -d $lucene_dir/lucene ]]; then has_lucene=1; fi
fi

printf '%-34s %10s  %-30s %10s %8s\n' "query" "vellum ms" "peer" "peer ms" "ratio"

# One row: vellum's search (kind and text) and a peer's command, run alternately RUNS times
# after one warm-up run each, so that both meet the same load; medians and their ratio.
row() {  # kind, text, peer label, peer command...
  local kind=$1 text=$2 peer=$3 i ours theirs
  shift 3
  local vellum_times=() peer_times=()
  vellum "$kind" "$text" > /dev/null 2>&1 || true
  "$@" > /dev/null 2>&1 || true
  for ((i = 0; i < runs; i++)); do
    vellum_times+=("$(run_ms vellum "$kind" "$text")")
    peer_times+=("$(run_ms "$@")")
  done
  ours=$(printf '%s\n' "${vellum_times[@]}" | median)
  theirs=$(printf '%s\n' "${peer_times[@]}" | median)
  printf '%-34s %10s  %-30s %10s %8s\n' "$kind \"$text\"" "$ours" "$peer" "$theirs" \
    "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { if (b > 0) printf "%.3f", a / b; else print "-" }')"
}
alone() {  # kind, text
  local i times=()
  vellum "$1" "$2" > /dev/null 2>&1 || true
  for ((i = 0; i < runs; i++)); do times+=("$(run_ms vellum "$1" "$2")"); done
  printf '%-34s %10s  %-30s %10s %8s\n' "$1 \"$2\"" "$(printf '%s\n' "${times[@]}" | median)" \
    "(no peer)" "-" "-"
}

have bible && row word love "bible ??love" bible '??love'
((has_diatheke)) && row word love "diatheke -s multiword" \
  diatheke -b "$sword_module" -s multiword -k love
((has_lucene)) && row word love "diatheke -s lucene" \
  diatheke -b "$sword_module" -s lucene -k love
have bible || ((has_diatheke)) || alone word love

if ((has_diatheke)); then
  row phrase "in the beginning" "diatheke -s phrase" \
    diatheke -b "$sword_module" -s phrase -k "in the beginning"
else
  alone phrase "in the beginning"
fi

if ((has_lucene)); then
  row expr "(love or hate) not god" "diatheke -s lucene" \
    diatheke -b "$sword_module" -s lucene -k "(love OR hate) NOT god"
  row wildcard "l?ve" "diatheke -s lucene" diatheke -b "$sword_module" -s lucene -k "l?ve"
else
  alone expr "(love or hate) not god"
  alone wildcard "l?ve"
fi

alone wildcard "*eth"
alone soundex Robert
