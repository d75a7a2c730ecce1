#!/bin/sh
# Regenerates the pictures under src/resources/icons/ from the SVG sources in
# this folder. Only needed after changing a source: the rendered files are
# committed, so the build itself needs none of these tools.
#
# Needs: rsvg-convert (Debian package librsvg2-bin) and ImageMagick 6
# (`convert`, package imagemagick).
#
# Usage: src/resources/icons-src/render.sh
#
# Sources that draw in `currentColor` are tinted per output file, so one glyph
# serves its normal (grey) and hover/selected (blue) pictures.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
out=$here/../icons
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

command -v rsvg-convert >/dev/null || { echo "rsvg-convert missing: apt-get install librsvg2-bin" >&2; exit 1; }
command -v convert >/dev/null || { echo "convert missing: apt-get install imagemagick" >&2; exit 1; }

GREY='#484848'
BLUE='#027DF0'
WHITE='#FFFFFF'
LIGHT='#C0C4CC'
SHADE='rgba(0,0,0,0.38)'

# tint SOURCE COLOUR: the source with currentColor replaced, on stdout.
tint() {
    sed "s|currentColor|$2|g" "$here/$1.svg"
}

# render NAME SOURCE COLOUR SIZE
render() {
    tint "$2" "$3" | rsvg-convert -w "$4" -h "$4" -f png -o "$out/$1.png"
}

# Picture names are fixed by the code (":/icons/icons/NAME").
# name              source          colour  size
while read -r name src colour size; do
    case $name in '' | '#'*) continue ;; esac
    eval "colour=$colour"
    render "$name" "$src" "$colour" "$size"
done <<'EOF'
# Tool strip: drawn by style-sheet `image:`, scaled down into the button.
1_1                 actual_size     $GREY   64
1_1_p               actual_size     $BLUE   64
screen              fit_screen      $GREY   64
screen_p            fit_screen      $BLUE   64
bigger_1            zoom_in         $GREY   64
bigger_1_h          zoom_in         $BLUE   64
smaller_1           zoom_out        $GREY   64
smaller_1_h         zoom_out        $BLUE   64
leftxuan            rotate_left     $GREY   64
leftxuan_p          rotate_left     $BLUE   64
rightxuan           rotate_right    $GREY   64
rightxuan_p         rotate_right    $BLUE   64
printer             printer         $GREY   64
printer_p           printer         $BLUE   64
prev                prev            $GREY   64
prev_p              prev            $BLUE   64
next                next            $GREY   64
next_p              next            $BLUE   64
# Arrow buttons over the picture.
left_c              overlay_left    $SHADE  64
left_c_p            overlay_left    $BLUE   64
right_c             overlay_right   $SHADE  64
right_c_p           overlay_right   $BLUE   64
# Icons shown at 24-36 px: 72 px halves and thirds cleanly.
chfmt_1             convert         $GREY   72
chfmt_1_p           convert         $BLUE   72
ch_format           convert         $GREY   72
ch_format_p         convert         $BLUE   72
size_1              resize          $GREY   72
size_1_p            resize          $BLUE   72
size_updating       resize          $GREY   72
size_updating_p     resize          $BLUE   72
pichuli             batch           $GREY   72
pichuli_p           batch           $BLUE   72
AI_fix              ai_fix          $GREY   72
AI_fix_p            ai_fix          $BLUE   72
zip                 compress        $GREY   72
zip_p               compress        $BLUE   72
rotating            rotate          $GREY   72
rotating_p          rotate          $BLUE   72
# Icons on a 16 px grid (default button icon size): 64 px is an exact 4x.
min_black           minimise        $GREY   64
max_white           maximise        $GREY   64
normal_white        restore         $GREY   64
close_dialog        close           $GREY   64
close_white         close           $WHITE  64
addfile             file_add        $WHITE  64
adddir              folder_add      $WHITE  64
clear               trash           $WHITE  64
delitem             trash           $GREY   64
itemdirdisable      folder          $LIGHT  64
itemdirenable       folder          $BLUE   64
change_dir_title    folder          $GREY   64
change_dir          folder_change   $BLUE   64
dir                 folder_open     $BLUE   64
setting             gear            $GREY   64
# Combo-box arrows: a sub-control takes the picture's own size, so these are
# rendered at their display size.
down_arrow          down_arrow      $GREY   20
down_arrow_small    down_arrow      $GREY   16
# Full-colour pictures.
note                info            -       64
center_add          picture_add     -       160
application_icon    app             -       256
EOF

# The title bar shows its icon stretched into a 40 x 35 label: keep that aspect.
rsvg-convert -w 70 -h 70 -f png "$here/app.svg" |
    convert - -background none -gravity center -extent 80x70 \
        -define png:exclude-chunks=date,time "$out/title_icon.png"

# Loading spinner: an arc whose length breathes while it turns once per loop.
# GIF has only on/off transparency, so frames are anti-aliased against white
# (the views it appears over are white or #F7F9FC) and white is made clear.
frames=36
i=0
while [ $i -lt $frames ]; do
    set -- $(awk -v i=$i -v n=$frames 'BEGIN {
        pi = 3.14159265358979; c = 2 * pi * 22; t = i / n
        f = 0.16 + 0.22 * (1 - cos(2 * pi * t))
        rot = 360 * t - 90 - f * 180
        printf "%.3f %.3f\n", f * c, rot }')
    sed -e "s|@DASH@|$1|" -e "s|@ROT@|$2|" "$here/loading.svg" |
        rsvg-convert -w 64 -h 64 -b white -f png -o "$tmp/frame-$(printf %02d $i).png"
    i=$((i + 1))
done
convert -delay 3 -loop 0 -dispose previous "$tmp"/frame-*.png -transparent white "$out/loading.gif"

echo "rendered into $out"
