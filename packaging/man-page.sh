#!/usr/bin/env bash
# Builds one manual page from its Markdown source: the version filled in, go-md2man, then gzip.
#   man-page.sh SOURCE.md VERSION LANGUAGE OUTPUT.gz     LANGUAGE: ja or en
set -euo pipefail
source=$1 version=$2 language=$3 output=$4

# After .TH (which switches hyphenation back on): no hyphenation, as go-md2man means it, so that
# option names are never split. A Japanese page also loads groff's Japanese rules, which allow a
# line break between any two kana or kanji, and is set ragged-right, since lines without spaces
# cannot be stretched to both margins.
after_title='.nh'
[ "$language" = ja ] && after_title='.nh\n.ad l'

sed "s/@VERSION@/$version/g" "$source" | "${GO_MD2MAN:-go-md2man}" |
  sed -e "/^\.TH /a $after_title" |
  if [ "$language" = ja ]; then sed '1i .mso ja.tmac'; else cat; fi |
  gzip -9n >"$output.tmp"
mv "$output.tmp" "$output"
