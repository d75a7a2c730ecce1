#!/bin/sh
# Writes a contact sheet of the rendered icons for a visual check: each icon at
# 64, 32 and 16 px on white, on the chrome colour #F7F9FC and on the colour of
# the button it sits on. Developer aid only (ImageMagick `convert`/`montage`).
#
# Usage: src/resources/icons-src/contact-sheet.sh [OUT.png]   (default /tmp/icons-sheet.png)
set -eu

here=$(cd "$(dirname "$0")" && pwd)
icons=$here/../icons
sheet=${1:-/tmp/icons-sheet.png}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Background the icon is really shown on, when it is not white.
backdrop() {
    case $1 in
    close_white) echo '#CB3B3B' ;;
    addfile | adddir | clear | stop) echo '#3C6EFF' ;;
    left_c | right_c) echo '#7A8A70' ;; # stands in for a photo behind the overlay
    *) echo '#F7F9FC' ;;
    esac
}

# tile ICON SIZE BG OUT: the icon scaled into a SIZE box, centred on a 72 px cell.
tile() {
    convert "$1" -background none -resize "${2}x${2}>" \
        -background "$3" -gravity center -extent 72x72 "$4"
}

for f in "$icons"/*.png "$icons"/loading.gif; do
    name=$(basename "${f%.*}")
    src=$f
    [ "${f##*.}" = gif ] && src="${f}[9]"
    bg=$(backdrop "$name")
    tile "$src" 64 white "$tmp/$name-a.png"
    tile "$src" 32 white "$tmp/$name-b.png"
    tile "$src" 64 '#F7F9FC' "$tmp/$name-c.png"
    tile "$src" 32 '#F7F9FC' "$tmp/$name-d.png"
    tile "$src" 16 "$bg" "$tmp/$name-e.png"
    tile "$src" 32 "$bg" "$tmp/$name-f.png"
    montage "$tmp/$name"-?.png -tile 6x1 -geometry +2+2 -background '#DDDDDD' "$tmp/row-$name.png"
    convert "$tmp/row-$name.png" -gravity west -background white -splice 150x0 \
        -font DejaVu-Sans -pointsize 13 -annotate +6+0 "$name" "$tmp/row-$name.png"
done
montage "$tmp"/row-*.png -tile 2x -geometry +4+2 -background white "$sheet"
echo "$sheet"
