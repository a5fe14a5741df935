#!/usr/bin/env bash
# Writes the seed files of both fuzz corpora: small projects that load, and near misses that
# must not. Run by hand after a change of the file format; the files are kept in the tree.
set -euo pipefail
cd "$(dirname "$0")"

header=('*--------------------*' '|Tavenor Quillet File|' '*--------------------*' '')
trailer=('Dit bestand is gegenereerd door Tavenor Quillet.'
         'Als u ook maar het kleinste detail veranderd of verwijderd van dit bestand,'
         'zal het niet meer te openen zijn met Tavenor Quillet.'
         'Alzo spreek ik, Ewout Bramlinck, oprichter en beheerder van Tavenor Corporation.')

# The lines of a project file with the points, lines and fills in the arrays P, L and F.
lines() {
  printf '%s\n' "${header[@]}" "<Punten num=${#P[@]}>" "${P[@]}" '</Punten>' '' \
    "<Lijnen num=${#L[@]}>" "${L[@]}" '</Lijnen>' '' \
    "<FloodFill num=${#F[@]}>" ${F[@]+"${F[@]}"} '</FloodFill>' '' "${trailer[@]}"
}
# seed NAME [LINE-END]: writes the file into both corpora, CR LF line ends unless told.
seed() {
  local eol=${2:-$'\r\n'} text
  text=$(while IFS= read -r line; do printf '%s%s' "$line" "$eol"; done; printf x)
  for dir in corpus/project corpus/load; do
    mkdir -p "$dir"
    printf '%s' "${text%x}" >"$dir/$1"
  done
}

triangle() {
  P=('100;100' '200;100' "150;13${1}3974596215561")
  L=('(100;100)---(200;100)' "(200;100)---(150;13${1}3974596215561)"
     "(150;13${1}3974596215561)---(100;100)")
}
square() {
  P=('100;100' '200;100' '200;200' '100;200')
  L=('(100;100)---(200;100)' '(200;100)---(200;200)' '(200;200)---(100;200)'
     '(100;200)---(100;100)')
}

triangle ','; F=(); lines | seed triangle-comma.qlf
triangle '.'; F=('255 @ (150;60)'); lines | seed triangle-point-fill.qlf
triangle ','; F=('255 @ (150;60)'); lines | seed lone-cr.qlf $'\r'
square; F=('255 @ (150;150)' '16711680 @ (10;10)'); lines | seed square-two-fills.qlf
square; F=('255 @ (150;150)' '65280 @ (150;150)' '16711680 @ (300;300)'); lines |
  seed square-three-fills.qlf
# One side is missing: the fill inside floods the outside as well.
square; unset 'L[3]'; F=('65535 @ (150,5;150,5)'); lines | seed leak.qlf
P=('-50;-50' '50;-50' '-50;50'); L=('(-50;-50)---(50;-50)' '(50;-50)---(-50;50)'
  '(-50;50)---(-50;-50)')
F=('255 @ (-10;-10)' '-1 @ (10;10)' '-2147483648 @ (600;20)'); lines | seed negative.qlf
big=123456789012345000000
P=("-$big;50" "$big;60" "1$(printf '0%.0s' {1..300});7")
L=("(-$big;50)---($big;60)" "(290;-$big)---(291;$big)" "(0;0)---(${P[2]})")
F=('255 @ (290;10)' "255 @ ($big;$big)"); lines | seed huge.qlf
# Read, though the writer never writes them so.
square; F=('rood @ [150;150]' '  65280  @  ( 20 ; 20 )  '); lines |
  sed 's/^<Punten num=4>/<Punten num=3,5>/; $a whatever follows is not read' | seed tolerated.qlf
square; F=(); lines | sed 's/^<FloodFill num=0>/<FloodFill num=-3>/' | seed negative-fills.qlf

triangle ','; F=('255 @ (150;60)'); lines | head -n 12 | seed truncated.qlf
triangle ','; F=('255 @ (150;60)'); lines | sed 's/Alzo spreek/Alzo sprak/' | seed wrong-trailer.qlf
triangle ','; F=('255 @ (150;60)'); lines | seed lf-only.qlf $'\n'
triangle ','; F=(); lines | sed 's/^<Lijnen num=3>/<Lijnen num=4>/' | seed short-lines.qlf
