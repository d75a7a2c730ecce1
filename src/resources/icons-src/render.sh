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

# colour NAME: the palette entry the manifest below refers to.
colour() {
    case $1 in
    grey) echo '#484848' ;;
    blue) echo '#027DF0' ;;
    white) echo '#FFFFFF' ;;
    light) echo '#C0C4CC' ;;
    shade) echo 'rgba(0,0,0,0.38)' ;; # translucent disc over the picture
    -) echo none ;;                    # full-colour source, nothing to tint
    *) echo "unknown colour $1" >&2; exit 1 ;;
    esac
}

# tint SOURCE COLOUR: the source with currentColor replaced, on stdout.
tint() {
    sed "s|currentColor|$2|g" "$here/$1.svg"
}

# render NAME SOURCE COLOUR SIZE
render() {
    tint "$2" "$3" | rsvg-convert -w "$4" -h "$4" -f png -o "$out/$1.png"
}

# Picture names are fixed by the code (":/icons/icons/NAME").
# name              source          tone    size
while read -r name src tone size; do
    case $name in '' | '#'*) continue ;; esac
    tint=$(colour "$tone")
    render "$name" "$src" "$tint" "$size"
done <<'EOF'
# Tool strip: drawn by style-sheet `image:`, scaled down into the button.
1_1                 actual_size     grey    64
1_1_p               actual_size     blue    64
screen              fit_screen      grey    64
screen_p            fit_screen      blue    64
bigger_1            zoom_in         grey    64
bigger_1_h          zoom_in         blue    64
smaller_1           zoom_out        grey    64
smaller_1_h         zoom_out        blue    64
turn_left            rotate_left     grey    64
turn_left_p          rotate_left     blue    64
turn_right           rotate_right    grey    64
turn_right_p         rotate_right    blue    64
printer             printer         grey    64
printer_p           printer         blue    64
strip               strip           grey    64
strip_p             strip           blue    64
grid                grid            grey    64
grid_p              grid            blue    64
prev                prev            grey    64
prev_p              prev            blue    64
next                next            grey    64
next_p              next            blue    64
# Arrow buttons over the picture.
left_c              overlay_left    shade   64
left_c_p            overlay_left    blue    64
right_c             overlay_right   shade   64
right_c_p           overlay_right   blue    64
# Icons shown at 24-36 px: 72 px halves and thirds cleanly.
chfmt_1             convert         grey    72
chfmt_1_p           convert         blue    72
ch_format           convert         grey    72
ch_format_p         convert         blue    72
size_1              resize          grey    72
size_1_p            resize          blue    72
size_updating       resize          grey    72
size_updating_p     resize          blue    72
batch             batch           grey    72
batch_p           batch           blue    72
AI_fix              ai_fix          grey    72
AI_fix_p            ai_fix          blue    72
zip                 compress        grey    72
zip_p               compress        blue    72
rotating            rotate          grey    72
rotating_p          rotate          blue    72
# Icons on a 16 px grid (default button icon size): 64 px is an exact 4x.
min_black           minimise        grey    64
max_white           maximise        grey    64
normal_white        restore         grey    64
close_dialog        close           grey    64
close_white         close           white   64
addfile             file_add        white   64
adddir              folder_add      white   64
clear               trash           white   64
stop                stop            white   64
delitem             trash           grey    64
itemdirdisable      folder          light   64
itemdirenable       folder          blue    64
change_dir_title    folder          grey    64
change_dir          folder_change   blue    64
dir                 folder_open     blue    64
setting             gear            grey    64
# Combo-box arrows: a sub-control takes the picture's own size, so these are
# rendered at their display size.
down_arrow          down_arrow      grey    20
down_arrow_small    down_arrow      grey    16
# Full-colour pictures.
note                info            -       64
center_add          picture_add     -       160
application_icon    app             -       256
EOF

# The title bar shows its icon stretched into a 40 x 35 label: keep that aspect.
rsvg-convert -w 70 -h 70 -f png "$here/app.svg" |
    convert - -background none -gravity center -extent 80x70 \
        -define png:exclude-chunks=date,time "$out/title_icon.png"

# The program icon for the desktop's icon theme (installed as hicolor/NxN/apps/);
# small sizes from the vector source rather than scaled down from 256 px.
mkdir -p "$here/../hicolor"
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w $size -h $size -f png -o "$here/../hicolor/app-$size.png" "$here/app.svg"
done

# Loading spinner: an arc whose length breathes while it turns once per loop.
# GIF has only on/off transparency, so frames are anti-aliased against white
# (the views it appears over are white or #F7F9FC) and white is made clear.
frames=36
i=0
while [ $i -lt $frames ]; do
    read -r dash rot <<ARC
$(awk -v i=$i -v n=$frames 'BEGIN {
        pi = 3.14159265358979; c = 2 * pi * 22; t = i / n
        f = 0.16 + 0.22 * (1 - cos(2 * pi * t))
        rot = 360 * t - 90 - f * 180
        printf "%.3f %.3f\n", f * c, rot }')
ARC
    sed -e "s|@DASH@|$dash|" -e "s|@ROT@|$rot|" "$here/loading.svg" |
        rsvg-convert -w 64 -h 64 -b white -f png -o "$tmp/frame-$(printf %02d $i).png"
    i=$((i + 1))
done
convert -delay 3 -loop 0 -dispose previous "$tmp"/frame-*.png -transparent white "$out/loading.gif"

echo "rendered into $out"
