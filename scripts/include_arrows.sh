#!/usr/bin/env bash
# Prints the include arrows between the top folders, drawn from the #include lines: "app -> folders (12)"
# means twelve includes in app/ name a header of folders/, "app -> Qt" counts Qt's headers. Fails when an
# arrow points up the layers: platform < trim < folders < app, with cli beside app (platform and trim
# only), and Qt for folders and app alone. tests/, bench/ and fuzz/ are listed apart and may use anything.
# Inside trim/, the folders follow the road of one photo, collect and geometry -> codec -> reduce ->
# save -> run, and only run joins them: no folder includes one further down the road, reduce takes its
# rows through trim/kept_rows.h and needs nothing of codec, and save takes a finished picture and
# needs nothing of reduce (it encodes through codec's encoder).
set -euo pipefail
cd "$(dirname "$0")/.."

# Every arrow once with its count, as "from to count".
arrows() {
  grep -rE --include='*.h' --include='*.cpp' --include='*.c' '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]' \
    platform trim folders app cli tests bench fuzz |
    awk -F: '
      BEGIN { split("platform trim folders app cli tests bench fuzz", names, " "); for (i in names) top[names[i]] = 1 }
      {
        split($1, file, "/")
        line = substr($0, length($1) + 2)
        if (match(line, /"[^"]+"/)) {
          split(substr(line, RSTART + 1, RLENGTH - 2), header, "/")
          to = header[1]
          if (!(to in top) || to == file[1]) next
        } else if (match(line, /<Q[A-Za-z]+>/)) {
          to = "Qt"
        } else {
          next
        }
        count[file[1] " " to]++
      }
      END { for (arrow in count) print arrow, count[arrow] }' |
    sort
}

# What each layer may include besides itself.
declare -A allowed=(
  [platform]=""
  [trim]="platform"
  [folders]="platform trim Qt"
  [app]="platform trim folders Qt"
  [cli]="platform trim"
)

found=$(arrows)
status=0
layered=() others=()
while read -r from to count; do
  line="$from -> $to ($count)"
  if [[ -v allowed[$from] ]]; then
    if [[ " ${allowed[$from]} " != *" $to "* ]]; then
      line+="   <- against the layers"
      status=1
    fi
    layered+=("$line")
  else
    others+=("$line")
  fi
done <<<"$found"

# The folders of trim/ each folder may not include.
declare -A road_forbidden=(
  [collect]="codec reduce save run"
  [geometry]="codec reduce save run"
  [codec]="reduce save run"
  [reduce]="codec save run"
  [save]="reduce run"
)

# Every include between two folders of trim/, as "from to count".
road_arrows() {
  grep -rE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"trim/[a-z_]+/' trim |
    grep -E '^trim/[a-z_]+/[^:]+:' |
    sed -E 's#^trim/([a-z_]+)/[^:]*:[[:space:]]*\#[[:space:]]*include[[:space:]]*"trim/([a-z_]+)/.*#\1 \2#' |
    awk '$1 != $2' | sort | uniq -c | awk '{ print $2, $3, $1 }'
}

road=()
while read -r from to count; do
  [[ -n "$from" ]] || continue
  line="$from -> $to ($count)"
  if [[ -v road_forbidden[$from] && " ${road_forbidden[$from]} " == *" $to "* ]]; then
    line+="   <- against the road"
    status=1
  fi
  road+=("$line")
done <<<"$(road_arrows)"

echo "layers (platform < trim < folders < app; cli on platform and trim):"
printf '  %s\n' "${layered[@]}"
echo "trim's road (collect, geometry -> codec -> reduce -> save -> run):"
printf '  %s\n' "${road[@]}"
echo "tests, benchmarks and fuzzing:"
printf '  %s\n' "${others[@]}"
if ((status != 0)); then
  echo "include_arrows.sh: an include points from a lower layer to a higher one, or against trim's road" >&2
fi
exit "$status"
