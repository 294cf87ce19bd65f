#!/bin/sh
# Writes the demo's bundled data into a folder: runs make_demo_data, then lets
# libtiff's tiffcp compress the texture with LZW and the horizontal predictor
# in strips of 16 rows, and removes the uncompressed intermediate.
#   tools/make_demo_data.sh <path-to-built-make_demo_data> <output-folder>
# With data/ as the folder it regenerates the committed files.
set -eu

if [ "$#" -ne 2 ]; then
  echo "usage: $0 <path-to-built-make_demo_data> <output-folder>" >&2
  exit 2
fi
generator=$1
folder=$2

"$generator" "$folder"
rm -f "$folder/txt.tif"
tiffcp -c lzw:2 -r 16 "$folder/txt_uncompressed.tif" "$folder/txt.tif"
rm -f "$folder/txt_uncompressed.tif"
