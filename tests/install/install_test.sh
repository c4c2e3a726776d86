#!/usr/bin/env bash
# Installs the build into a scratch prefix and runs the installed programs the way a user would:
# from a directory of their own, with their own and the shared XDG data directories pointed at
# scratch directories (an installed package can never leak in).
#
#   bash tests/install/install_test.sh BUILD_DIR SOURCE_DIR APP_ID
#
# Checked: every installed file is there, every help page the program opens among them, with
# no link that leads nowhere; the desktop entry, the AppStream metadata and the manual pages
# pass their validators; each program answers --help and --version; vellum-cli finds the
# installation's data set, and its notes go to the user's directory while the
# installation and a shared data set stay byte for byte as installed (a shared notes store is
# copied before it changes); the installed reader, started offscreen by its bare name, opens
# the default translation from the shared XDG directory and shows a "How to..." page.
set -euo pipefail
build=$(cd "$1" && pwd) source=$(cd "$2" && pwd) id=$3

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
fail() { echo "install_test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(cd "$prefix" && dirname "$(find . -name 'libvellum.so.0' | head -1)")
for file in bin/vellum bin/vellum-cli bin/vellum-import "$libdir/libvellum.so.0" \
    share/vellum/help/1000.html share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/icons/hicolor/scalable/apps/$id.svg share/man/man1/vellum.1.gz \
    share/man/man1/vellum-cli.1.gz share/man/man1/vellum-import.1.gz; do
  [[ -s $prefix/$file ]] || fail "$file is not installed"
done
for size in 16 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
  [[ -s $png ]] || fail "the $size-pixel icon is not installed"
  # The PNG header's width and height, big-endian at bytes 16 to 23.
  read -r -a header < <(od -An -tu1 -j16 -N8 "$png")
  (( header[2] * 256 + header[3] == size && header[6] * 256 + header[7] == size )) ||
    fail "$png is not $size pixels square"
done

# Every help page the program opens is installed, reached from the contents and no stub; every
# link leads to an installed page.
help=$prefix/share/vellum/help
for context in 1080 1090 1140 1150 1160 1180 1190 1200 1210 1220 1230 1240 1250; do
  [[ $(wc -c <"$help/$context.html") -gt 1500 ]] &&
    grep -q "href=\"$context.html\"" "$help/1000.html" || fail "help page $context.html"
done
while IFS= read -r link; do
  target=${link#*href=\"}
  [[ -z $target || ($target != *:* && -f $help/$target) ]] || fail "broken help link: $link"
done < <(grep -o 'href="[^"#]*' "$help"/*.html)

desktop-file-validate "$prefix/share/applications/$id.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null ||
  appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"
for page in vellum vellum-cli vellum-import; do
  rendered=$(MANWIDTH=80 man -l "$prefix/share/man/man1/$page.1.gz" 2>&1)
  grep -q "^NAME" <<<"$rendered" && ! grep -qi "warning" <<<"$rendered" ||
    fail "man -l $page.1: $rendered"
done

for program in vellum vellum-cli vellum-import; do
  "$prefix/bin/$program" --help | grep -q "^usage: $program" || fail "$program --help"
  [[ $("$prefix/bin/$program" --version) == "$program "[0-9]* ]] || fail "$program --version"
done

# Everything runs from an empty directory of the user's, started through PATH.
mkdir -p "$scratch/work" "$scratch/shared/vellum" "$scratch/runtime"
chmod 700 "$scratch/runtime"
cd "$scratch/work"
export PATH=$prefix/bin:$PATH HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config
unset VELLUM_HELP_DIR
fingerprint() { (cd "$1" && find . -type f -print0 | sort -z | xargs -0r sha256sum); }

# The installation's data set: the real one when data/ was built, else the sample text.
installed=$prefix/share/vellum/data
if [[ ! -f $installed/kjv.bib ]]; then
  mkdir -p "$installed"
  vellum-import bible --vpl "$source/samples/kjv-sample.vpl" --name "King James Version" \
    "$installed/kjv.bib" >/dev/null
fi
installedBefore=$(fingerprint "$prefix/share")
(
  export XDG_DATA_HOME=$scratch/user-a XDG_DATA_DIRS=$scratch/none
  vellum-cli show "John 3:16" | grep -q "For God so loved" || fail "vellum-cli show: no data set"
  vellum-cli notes set "John 3:16" "Learnt by heart" >/dev/null
  [[ $(vellum-cli notes get "John 3:16") == *"Learnt by heart"* ]] || fail "the note is lost"
  [[ -f $XDG_DATA_HOME/vellum/kjv.vn ]] || fail "the note is not in the user's directory"
)
[[ $(fingerprint "$prefix/share") == "$installedBefore" ]] || fail "the installation was written"

# A shared data set with a notes store of its own: changed, it is copied to the user first.
shared=$scratch/shared/vellum
vellum-import bible --vpl "$source/samples/kjv-sample.vpl" --name "Shared Sample" \
  "$shared/kjv.bib" >/dev/null
XDG_DATA_HOME=$scratch/nobody vellum-cli -d "$shared" notes set "John 3:16" "Shared note" >/dev/null
sharedBefore=$(fingerprint "$scratch/shared")
(
  export XDG_DATA_HOME=$scratch/user-b XDG_DATA_DIRS=$scratch/none:$scratch/shared/
  vellum-cli list | grep -q "Shared Sample" || fail "vellum-cli list: the shared set is missing"
  vellum-cli notes set "John 3:17" "Mine" >/dev/null
  [[ $(vellum-cli notes get "John 3:16") == *"Shared note"* ]] || fail "the shared note is lost"
  [[ $(vellum-cli notes get "John 3:17") == *"Mine"* ]] || fail "the user's note is lost"
  [[ -f $XDG_DATA_HOME/vellum/kjv.vn ]] || fail "the copy is not in the user's directory"
)
[[ $(fingerprint "$scratch/shared") == "$sharedBefore" ]] || fail "the shared data set was written"

# The reader, offscreen: the default translation comes from the shared XDG directory (it
# stands before the installation's), the "How to..." page from the installation.
report=$(XDG_DATA_HOME=$scratch/user-c XDG_DATA_DIRS=$scratch/shared \
  XDG_RUNTIME_DIR=$scratch/runtime QT_QPA_PLATFORM=offscreen \
  VELLUM_QUIT_AFTER_FIRST_CHAPTER=report timeout 120 vellum 2>"$scratch/vellum.log") ||
  fail "vellum did not start: $(cat "$scratch/vellum.log")"
grep -q "^window: .* - Shared Sample$" <<<"$report" || fail "vellum opened: $report"
[[ $report =~ help:\ Vellum\ Help:\ Contents\ \(([0-9]+)\ characters\) ]] &&
  (( BASH_REMATCH[1] > 200 )) || fail "vellum's help: $report"
[[ -f $scratch/user-c/vellum/options.dic ]] || fail "the options store is not the user's"
[[ $(fingerprint "$scratch/shared") == "$sharedBefore" ]] || fail "vellum wrote to the shared set"
[[ $(fingerprint "$prefix/share") == "$installedBefore" ]] || fail "vellum wrote to the installation"
echo "install_test: passed"
