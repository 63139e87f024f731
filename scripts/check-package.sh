#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh built, as the test run does: lintian reports no
# error or warning, the desktop entry and the AppStream metadata are valid, every manual page renders
# without a warning, the bash completion completes, and phototrim-batch runs from the unpacked package.
set -euo pipefail
cd "$(dirname "$0")/.."
package=$(ls build/phototrim_*_amd64.deb)
version=$(dpkg-deb -f "$package" Version)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$package" "$root"
fail() { echo "check-package.sh: $*" >&2; exit 1; }

echo "== lintian $package"
status=0
report=$(lintian --fail-on error,warning "$package" 2>&1) || status=$?
grep -v 'running with root privileges' <<<"$report" || true
[ "$status" -eq 0 ] || fail "lintian reports errors or warnings (above)"
echo "lintian: no errors, no warnings"

echo "== desktop entry and AppStream metadata"
desktop-file-validate "$root/usr/share/applications/phototrim.desktop"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
for size in 16 24 32 48 64 128 256; do
  [ -s "$root/usr/share/icons/hicolor/${size}x$size/apps/phototrim.png" ] || fail "no icon of $size pixels"
done
dpkg-deb -f "$package" Depends | grep -q 'fonts-ipafont-gothic, fonts-ipafont-mincho' || fail "Depends lacks the IPA fonts"

echo "== manual pages"
for page in "$root"/usr/share/man/man1/*.1.gz "$root"/usr/share/man/ja/man1/*.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "${page#"$root"}: $warnings"
  LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null | grep -q 'phototrim' || fail "${page#"$root"} renders empty"
  echo "${page#"$root"}: no warnings"
done

echo "== bash completion"
completion=$(bash -c '
  source /usr/share/bash-completion/bash_completion
  source "$1"
  COMP_WORDS=(phototrim-batch --size ""); COMP_CWORD=2; COMP_LINE="phototrim-batch --size "; COMP_POINT=${#COMP_LINE}
  _phototrim_batch phototrim-batch "" --size
  echo "${COMPREPLY[*]}"' _ "$root/usr/share/bash-completion/completions/phototrim-batch")
[[ " $completion " == *" はがき "* && " $completion " == *" w-yotsugiri "* ]] || fail "--size completes to: $completion"
echo "phototrim-batch --size <Tab>: $completion"

echo "== phototrim-batch from the unpacked package"
batch="$root/usr/bin/phototrim-batch"
# Its first line names the version; the next, the reduction's kernel set.
[ "$("$batch" --version | head -n 1)" = "phototrim-batch $version" ] || fail "--version prints '$("$batch" --version)', the package is $version"
"$batch" --version
"$batch" --help | grep -q -- '--size' || fail "--help lists no --size"
echo "--help: $("$batch" --help | wc -l) lines"
