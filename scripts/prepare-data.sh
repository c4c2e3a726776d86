#!/usr/bin/env bash
# Builds the data set in ./data from Debian's SWORD modules and, when it is there, from
# ../shared/data (the `shared` folder beside this repository's folder). docs/data.md says
# what each file is built from.
#
# The importer must be built first (build/tools/vellum-import; set VELLUM_BUILD_DIR for
# another build directory). A stamp file, data/.stamp, records the source packages' versions,
# the shared files' sizes and times, the importer's and this script's contents; when it
# matches and every file is there, nothing is rebuilt.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${VELLUM_BUILD_DIR:-build}
import="$build/tools/vellum-import"
data=data
shared=../shared/data
packages=(sword-text-kjv sword-text-web sword-text-sparv sword-comm-mhcc sword-dict-naves
          sword-dict-strongs-hebrew sword-dict-strongs-greek)

if [[ ! -x $import ]]; then
  echo "prepare-data: $import is not built (cmake --build $build --target vellum-import)" >&2
  exit 1
fi

files=(kjv.bib web.bib sparv.bib mhc.dic topics.dic lexicon.lex)
[[ -f $shared/eastons.json ]] && files+=(eastons.dic)
[[ -f $shared/hitchcock.csv ]] && files+=(hitchck.dic)

stamp() {
  dpkg-query -W -f='${Package} ${Version}\n' "${packages[@]}"
  sha256sum "$import" scripts/prepare-data.sh | cut -d' ' -f1
  for f in "$shared/eastons.json" "$shared/hitchcock.csv"; do
    [[ -f $f ]] && stat -c '%n %s %Y' "$f"
  done
  return 0
}

mkdir -p "$data"
wanted=$(stamp)
current=true
[[ -f $data/.stamp && $(cat "$data/.stamp") == "$wanted" ]] || current=false
for f in "${files[@]}"; do [[ -f $data/$f ]] || current=false; done
if $current; then
  echo "prepare-data: $data/ is current"
  exit 0
fi

started=$SECONDS
rm -f "$data/.stamp"
"$import" bible --sword KJV "$data/kjv.bib"
# Only the check compares the text with the module's own rendering: a mismatch stops here.
"$import" check --sword KJV "$data/kjv.bib"
# The WEB's deuterocanonical books exceed the module format's verse limit. The engine shows
# Strong's numbers only for the King James Version, so the WEB is built without them.
"$import" bible --sword WEB --books 66 --name "World English Bible" --no-strongs "$data/web.bib"
# The Reina-Valera 1909 keeps its Spanish book names ("Génesis", "Juan") from SWORD's locale.
"$import" bible --sword spaRV1909eb --books 66 --name "Reina-Valera 1909" --locale es \
  --no-strongs "$data/sparv.bib"
"$import" check --sword spaRV1909eb --books 66 --locale es "$data/sparv.bib"
"$import" commentary --sword MHCC "$data/mhc.dic"
# Topic names cut to 39 characters or joined with another are listed on standard error.
"$import" topics --sword Nave "$data/topics.dic"
"$import" lexicon --sword-hebrew StrongsHebrew --sword-greek StrongsGreek "$data/lexicon.lex"

# Easton's and Hitchcock's come from the shared folder when it is there; without it the
# program runs without them, so stale copies are removed rather than kept.
if [[ -f $shared/eastons.json ]]; then
  "$import" dict --json "$shared/eastons.json" --key mot --value definition \
    --title "Easton's Bible Dictionary" --compress "$data/eastons.dic"
else
  rm -f "$data/eastons.dic"
fi
if [[ -f $shared/hitchcock.csv ]]; then
  "$import" dict --csv "$shared/hitchcock.csv" --title "Hitchcock's Bible Names" "$data/hitchck.dic"
else
  rm -f "$data/hitchck.dic"
fi

echo "$wanted" >"$data/.stamp"
echo "prepare-data: $data/ built in $((SECONDS - started)) s"
