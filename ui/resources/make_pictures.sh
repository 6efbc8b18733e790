#!/usr/bin/env bash
# Draws the two pictures that the program carries in its resources, with
# ImageMagick. The results are kept in the repository, so that building
# needs no ImageMagick; run this only to change them.
#
#   logo.jpg  the word mark "zentaroDeck": red letters with a black outline
#             on white, 1625 x 199 pixels at 300 dots per inch
#   app.ico   32 x 32, 256 colours, transparent: a pencil writing on a
#             yellow note pad
set -euo pipefail
cd "$(dirname "$0")"

convert -size 1625x199 xc:white -density 300 -units PixelsPerInch \
  -font Helvetica-Bold -pointsize 46 -fill '#d71920' -stroke black -strokewidth 3 \
  -gravity center -annotate +0+4 'zentaroDeck' \
  -strip -quality 92 -sampling-factor 1x1 logo.jpg

# The pad: a yellow sheet with a red top band and ruled lines; the pencil
# lies across it from the top right, its point on the last line.
convert -size 32x32 xc:none \
  -fill '#fce94f' -stroke '#8f7a00' -strokewidth 1 -draw 'rectangle 3,4 24,29' \
  -fill '#cc0000' -stroke none -draw 'rectangle 4,5 23,8' \
  -stroke '#6b8fb5' -strokewidth 1 \
  -draw 'line 6,13 21,13' -draw 'line 6,17 21,17' -draw 'line 6,21 21,21' -draw 'line 6,25 13,25' \
  -stroke '#202020' -draw 'line 13,25 15,24' \
  -stroke none -fill '#f57900' -draw 'polygon 16,22 28,4 31,7 19,25' \
  -fill '#c25e00' -draw 'polygon 18,24 30,6 31,7 19,25' \
  -fill '#e9b96e' -draw 'polygon 16,22 19,25 14,26' \
  -fill '#202020' -draw 'polygon 14,26 15,24 16,25' \
  -fill '#d3d7cf' -draw 'polygon 27,3 29,1 32,4 30,6' \
  -colors 255 -depth 8 rgba:- | ./make_ico.py app.ico
identify logo.jpg app.ico

# The picture that the update medium carries beside the updater, for the
# window's tests and the screenshot: a manila folder on white.
convert -size 256x256 xc:white \
  -fill '#e8b84a' -stroke '#8a6414' -strokewidth 4 \
  -draw 'polygon 24,60 100,60 116,80 232,80 232,216 24,216' \
  -fill '#f5cf6b' -draw 'polygon 24,100 232,100 232,216 24,216' \
  -strip -quality 90 ../../tests/ui/data/folder.jpg
identify ../../tests/ui/data/folder.jpg
