#!/usr/bin/env bash
# Regenerates the photo fixtures in tests/data from the portraits that ship in
# Debian's opencv-doc package. Needs ImageMagick (convert). The generated files
# are committed; running this is only needed to change them.
set -euo pipefail
SRC=/usr/share/doc/opencv-doc/opencv4/html
OUT="$(cd "$(dirname "$0")/.." && pwd)/tests/data"
mkdir -p "$OUT"

# One frontal face (detected at about 185 pixels wide).
convert "$SRC/230501201_1.jpg" -resize 50% -quality 90 "$OUT/portrait.jpg"
# The same portrait so small that its face is under 60x60 pixels, on a larger page.
convert -size 300x400 xc:#c8c8c8 \( "$SRC/230501201_1.jpg" -resize 12% \) -geometry +115+150 \
    -composite -quality 90 "$OUT/small_face.jpg"
# A group of three faces.
convert "$SRC/example.jpg" -resize 50% -quality 85 "$OUT/group.jpg"
# No face: the jacket below the portrait's face.
convert "$SRC/230501201_1.jpg" -crop 300x260+140+564 +repage -quality 90 "$OUT/no_face.jpg"
# Head and shoulders on plain backgrounds, 480x640, as an identity photo.
for bg in "blue:#438edb" "red:#d0101a" "white:#fbfbfb"; do
    name=${bg%%:*}
    colour=${bg#*:}
    convert -size 480x640 "xc:$colour" \
        \( "$SRC/227943776_1.jpg" -crop 300x330+67+40 +repage \) -geometry +90+250 -composite \
        -quality 95 "$OUT/id_${name}.jpg"
done
# A face large enough for the clarity advice (397 pixels wide), sharp, and the
# same blurred by a Gaussian of sigma 1.3 (sigma 2 at a face 600 pixels high).
convert -size 760x1000 "xc:#438edb" \( "$SRC/230501201_1.jpg" -crop 480x704+60+120 +repage \) \
    -geometry +140+296 -composite -quality 92 "$OUT/id_large.jpg"
convert "$OUT/id_large.jpg" -gaussian-blur 0x1.3 -quality 92 "$OUT/id_soft.jpg"
# The blue identity photo stored as a CMYK JPEG.
convert "$OUT/id_blue.jpg" -colorspace CMYK -quality 90 "$OUT/id_blue_cmyk.jpg"
