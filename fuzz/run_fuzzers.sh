#!/usr/bin/env bash
# Builds the two fuzz targets with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer straight from the reader sources (independent of
# the CMake build), then fuzzes the 3D Studio reader and the TIFF reader one
# after the other, each for the given number of seconds with a single job.
#   fuzz/run_fuzzers.sh <seconds-per-target> [workdir]
# The workdir (default: build-fuzz in the repository) keeps the binaries, the
# growing corpora, the logs and any findings; corpora carry over between runs.
# Seeds: the fixtures, the bundled data and the hostile files. Exits non-zero
# when either target finds a crash, a sanitizer report, a leak, a broken
# promise, a timeout or an allocation over the limit.
set -euo pipefail

if [ "$#" -lt 1 ] || [ "$#" -gt 2 ] || ! [[ "$1" =~ ^[0-9]+$ ]]; then
  echo "usage: $0 <seconds-per-target> [workdir]" >&2
  exit 2
fi
seconds=$1
here=$(cd "$(dirname "$0")/.." && pwd)
work=${2:-"$here/build-fuzz"}
mkdir -p "$work"
work=$(cd "$work" && pwd)

cxx=${CXX_FUZZ:-clang++}
flags=(-std=c++17 -O2 -g -fno-omit-frame-pointer
       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -I "$here")

build() {
  local name=$1
  shift
  echo "fuzz: building $name"
  "$cxx" "${flags[@]}" -o "$work/$name" "$here/fuzz/$name.cpp" "$@"
}
readers=("$here/assets/byte_reader.cpp" "$here/assets/posix/file_access.cpp")
build scene_reader_fuzz "$here/assets/scene_reader.cpp" "$here/assets/scene.cpp" "${readers[@]}"
build tiff_image_fuzz "$here/assets/tiff_image.cpp" "$here/assets/tiff_codecs.cpp" \
  "$here/assets/tiff_samples.cpp" "${readers[@]}" -lz

# Copies the seeds matching the patterns (case ignored) into a fresh folder.
seed() {
  local folder=$1
  shift
  rm -rf "$folder"
  mkdir -p "$folder"
  local pattern
  for pattern in "$@"; do
    [ -d "$(dirname "$pattern")" ] || continue
    find "$(dirname "$pattern")" -maxdepth 1 -type f -iname "$(basename "$pattern")" \
      -exec cp {} "$folder/" \;
  done
}
seed "$work/seeds/scene" "$here/tests/fixtures/*.3ds" "$here/data/*.3ds" "$here/tests/fixtures/hostile/*.3ds"
seed "$work/seeds/tiff" "$here/tests/fixtures/*.tif" "$here/data/*.tif" "$here/tests/fixtures/hostile/*.tif"
# The forms beside 8-bit RGB, written from a small fixture by the tools: each
# codec, planes, FillOrder 2, greyscale, palette and 16 bits.
small="$here/tests/fixtures/tiff_rgb_none_1strip.tif"
for form in "packbits" "zip" "zip:2" "lzw -p separate" "zip -f lsb2msb"; do
  tiffcp -c $form "$small" "$work/seeds/tiff/form_${form//[^a-z0-9]/_}.tif"
done
for form in "-colorspace gray -depth 8" "-colorspace gray -depth 1" "-colors 16 -type palette" \
            "-depth 16" "-colorspace gray -depth 16 -compress zip"; do
  /usr/bin/convert "$small" $form "$work/seeds/tiff/form_im${form//[^a-z0-9]/_}.tif"
done

# -malloc_limit_mb catches any single allocation that the input's size cannot
# justify: the TIFF reader may decode up to 4096 bytes per 9 bits of an LZW
# file (the most one code can yield), 37 MB for the largest input here, and a
# pixel of one bit becomes three bytes, so 24 x 37 MB is the most it may take
# at once and an allocation of 1 GB means a size taken on trust (256 MB for
# the scene reader). Inputs are kept small for speed: 10240 bytes hold every
# TIFF fixture whole; the bundled texture and scene, larger, seed with their
# first 10240 and 16384 bytes. Standard output is closed: the TIFF reader
# prints its refusal there.
status=0
run() {
  local name=$1 corpus=$2 dict=$3 maxLength=$4 mallocLimit=$5
  mkdir -p "$work/corpus/$corpus" "$work/findings/$corpus"
  local stamp="$work/findings/$corpus/.started"
  touch "$stamp"
  local command=("$work/$name" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb="$mallocLimit"
                 -timeout=10 -max_len="$maxLength" -dict="$here/fuzz/$dict" -close_fd_mask=1
                 -print_final_stats=1 -artifact_prefix="$work/findings/$corpus/"
                 "$work/corpus/$corpus" "$work/seeds/$corpus")
  echo "fuzz: ${command[*]}"
  local result=0
  "${command[@]}" >"$work/$name.log" 2>&1 || result=$?
  grep -E '^#[0-9]+[[:space:]]+DONE|^Done [0-9]+ runs|^stat::' "$work/$name.log" || true
  local found
  found=$(find "$work/findings/$corpus" -type f -newer "$stamp" ! -name .started)
  if [ "$result" -ne 0 ] || [ -n "$found" ]; then
    echo "fuzz: $name FOUND A FAULT (exit $result); the input is kept in:" >&2
    echo "${found:-(no artifact written)}" >&2
    tail -n 60 "$work/$name.log" >&2
    status=1
  else
    echo "fuzz: $name ran ${seconds}s with no finding"
  fi
}
run scene_reader_fuzz scene scene.dict 16384 256
run tiff_image_fuzz tiff tiff.dict 10240 1024
exit "$status"
