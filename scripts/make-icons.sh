#!/usr/bin/env bash
# Renders the program's icon, drawn once as resources/icons/suowutong.svg, into the PNG sizes that
# desktop menus take from the hicolor theme and into the .ico the Windows executable carries.
# The outputs are committed; re-run only after changing the drawing. Needs librsvg2-bin and imagemagick.
set -euo pipefail
cd "$(dirname "$0")/../resources"

sizes=(16 24 32 48 64 128 256)
for size in "${sizes[@]}"; do
    rsvg-convert --width "$size" --height "$size" icons/suowutong.svg --output "icons/suowutong-$size.png"
done
# Windows shows 16 to 48 in lists and the title bar and 256 in large views; it scales the rest.
convert icons/suowutong-{16,24,32,48,256}.png windows/suowutong.ico
