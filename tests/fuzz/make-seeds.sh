#!/usr/bin/env bash
# Seeds for describe_fuzzer, made from the test media.
#
# Usage: make-seeds.sh MEDIA_DIR OUT_DIR MAX_LEN
#
# Each movie goes in twice behind the fuzzer's one-byte name selector: once
# under its own extension and once under the other way of describing (MPEG or
# not). MP4 and MOV files are remuxed header first, so that what a describer
# reads survives the fuzzer's length cap; every seed is cut to MAX_LEN bytes.
# Seeds newer than their movie are kept.
set -euo pipefail
(($# == 3)) || { echo "usage: ${0##*/} MEDIA_DIR OUT_DIR MAX_LEN" >&2; exit 2; }
media=$1 out=$2 max_len=$3
mkdir -p -- "$out"

# Where each extension sits in kAcceptedExtensions: MPG AVI MPEG MOV MPV MP4 VOB DV.
declare -A selector=([mpg]=0 [avi]=1 [mpeg]=2 [mov]=3 [mpv]=4 [mp4]=5 [vob]=6 [dv]=7 [m2v]=4 [mkv]=5)
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT

for path in "$media"/*; do
  [[ -f $path && ! -L $path && -s $path ]] || continue
  name=${path##*/}
  ext=${name##*.}
  ext=${ext,,}
  [[ -n ${selector[$ext]+set} ]] || continue
  own=${selector[$ext]}
  # .mpg and .mpeg take the MPEG way; try those files as .vob too, and the rest as .mpg.
  other=$(( own == 0 || own == 2 ? 6 : 0 ))
  body=$path
  if [[ $ext == mp4 || $ext == mov ]] &&
     ffmpeg -hide_banner -loglevel quiet -nostdin -y -i "$path" -map 0 -c copy -fflags +bitexact \
       -movflags +faststart -f "$ext" "$work/$name" 2>/dev/null; then
    body=$work/$name
  fi
  for pick in "$own" "$other"; do
    seed=$out/$name.$pick
    [[ -s $seed && $seed -nt $path ]] && continue
    { printf "\\x$(printf %02x "$pick")"; head -c $((max_len - 1)) -- "$body"; } >"$seed.partial"
    mv -f -- "$seed.partial" "$seed"
  done
done
