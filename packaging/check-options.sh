#!/usr/bin/env bash
# Fails when phototrim-batch --help, its manual pages and its bash completion disagree on the options:
# every option --help lists must be described in each manual page source and offered by the
# completion, and they must name no option --help lacks. Every size name and dpi value the completion
# offers must be accepted by phototrim-batch.
#   check-options.sh PHOTOTRIM_BATCH COMPLETION MANUAL.md...
set -euo pipefail
export LC_ALL=C  # one byte order for sort and comm
batch=$1 completion=$2
shift 2

# The dashed words that open the option lines of --help ("  -s, --size 名前   …", "      --plain   …").
help_options() {
  "$batch" --help | grep -oE '^ +(-[A-Za-z0-9], )?--?[A-Za-z0-9][A-Za-z0-9-]*' | tr -s ', ' '\n\n' | grep . | sort -u
}
# The options a manual page describes: the bold dashed words of its definition terms ("**-s**, **--size** …").
manual_options() {
  grep -E '^\*\*-' "$1" | grep -oE '\*\*--?[A-Za-z0-9][A-Za-z0-9-]*\*\*' | tr -d '*' | sort -u
}
# One word list of the completion: its line  local NAME="…".
completion_words() {
  sed -n -E "s/^ *local $1=\"(.*)\"$/\1/p" "$completion" | tr -s ' ' '\n' | grep . | sort -u
}

expected=$(help_options)
if [ -z "$expected" ]; then
  echo "check-options.sh: found no options in '$batch --help'" >&2
  exit 1
fi

# Prints the differences between --help and one other list; true when there are none.
agree() {
  local where=$1 found=$2 missing extra
  missing=$(comm -23 <(echo "$expected") <(echo "$found"))
  extra=$(comm -13 <(echo "$expected") <(echo "$found"))
  for o in $missing; do echo "  $o: listed by phototrim-batch --help, missing from $where" >&2; done
  for o in $extra; do echo "  $o: in $where, but phototrim-batch --help does not list it" >&2; done
  [ -z "$missing$extra" ]
}

status=0
for manual in "$@"; do
  agree "$manual" "$(manual_options "$manual")" || status=1
done
agree "$completion (options=)" "$(completion_words options)" || status=1
if [ "$status" -ne 0 ]; then
  cat >&2 <<'TEXT'
phototrim-batch: --help, the manual pages and the bash completion disagree on the options (above).
An option of phototrim-batch is described in man/phototrim-batch.1.md (Japanese) and
man/en/phototrim-batch.1.md (English), and offered in packaging/phototrim-batch.bash-completion;
see "Manual pages" in README.md.
TEXT
  exit 1
fi

# The values the completion offers, all in one command line: phototrim-batch names a refused one.
values=()
for size in $(completion_words sizes); do values+=(--size "$size"); done
for dpi in $(completion_words dpis); do values+=(--dpi "$dpi"); done
if ! "$batch" "${values[@]}" --help >/dev/null; then
  echo "check-options.sh: $completion offers a value phototrim-batch refuses (above)" >&2
  exit 1
fi
