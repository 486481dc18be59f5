#!/usr/bin/env bash
# README: generates Reel's test media into OUTDIR:
#   h264_aac_23976.mp4 mpeg4_mp3.mp4 mjpeg_ima4_2997.mov dx50_mp3.avi
#   div3_pcm_mono.avi xvid_ac3.avi mpeg1_system.mpg mpeg2_program.mpg
#   pal_ac3.vob pal.dv elementary.mpv mpeg2_elementary.m2v audio_only.mp4
#   audio_only.mov video_only.mov long_3700s.mp4 two_audio.mov exact24.mp4
#   exact30.mp4 sixch.mov clip.mkv noext
#   and broken/odd inputs: empty.mov text.mov truncated.mp4 dir.avi/
#   fifo.mp4 dangling.mp4 "-dash 'quote' \"dq\" sp ace.mp4"
#
# Usage: make-media.sh [-v] OUTDIR
#   -v  also report (on stderr) what ffprobe guesses for elementary.mpv
#
# Nothing is committed: every file is synthesised here from lavfi sources.
# Files that already exist are kept, so a second run is a cheap no-op.
# Every ffmpeg output is written to a hidden temp name and renamed, so an
# interrupted run never leaves a half-written file behind that a later run
# would mistake for a finished one.
# Output is bit-exact and single-threaded on purpose: slice/frame threading
# makes the bitstream depend on the core count, and tests may pin sizes,
# timestamps or checksums.
set -euo pipefail

usage() { echo "usage: ${0##*/} [-v] OUTDIR" >&2; exit 2; }

verbose=0
while (($#)); do
  case $1 in
    -v) verbose=1; shift ;;
    -h|--help) usage ;;
    --) shift; break ;;
    -*) usage ;;
    *) break ;;
  esac
done
(($# == 1)) || usage
mkdir -p -- "$1"
# Absolute, so no path we hand to ffmpeg can look like an option or a URL.
out=$(cd -- "$1" && pwd)

# Temp files of the step in progress; removed if we die half way.
partial='' scratch=''
cleanup() { rm -f -- ${partial:+"$partial"} ${scratch:+"$scratch"}; }
trap cleanup EXIT
trap 'exit 130' INT TERM

# Leftovers of a run that was killed outright (its trap never ran). The pid
# suffix tells whether that run could still be going.
for stale in "$out"/.*.partial.*; do
  [[ -e $stale ]] || continue
  kill -0 "${stale##*.}" 2>/dev/null || rm -f -- "$stale"
done

# --- lavfi source helpers ---------------------------------------------------
# testsrc2 moves every frame, so encoders produce real P/B frames rather
# than a static picture that collapses to nothing.
vsrc() { # SIZE RATE SECONDS
  printf 'testsrc2=size=%s:rate=%s:duration=%s' "$1" "$2" "$3"
}
tone() { # FREQ SAMPLE_RATE SECONDS
  printf 'sine=frequency=%s:sample_rate=%s:duration=%s' "$1" "$2" "$3"
}

# Settings common to every encode: quiet, no stdin (may run from CI with
# none), and reproducible bytes.
ff_in=(ffmpeg -hide_banner -loglevel error -nostdin -y)
ff_out=(-fflags +bitexact -flags +bitexact -threads 1 -map_metadata -1)

have() { [[ -s $out/$1 ]]; }

# gen NAME FORMAT ARGS... : run ffmpeg with ARGS (inputs and codec options)
# into a temp file of container FORMAT, then rename it to NAME. The
# container is always explicit because the temp name has no usable suffix.
gen() {
  local name=$1 fmt=$2; shift 2
  have "$name" && return 0
  partial="$out/.$name.partial.$$"
  "${ff_in[@]}" "$@" "${ff_out[@]}" -f "$fmt" "$partial"
  [[ -s $partial ]] || { echo "ffmpeg wrote nothing for $name" >&2; exit 1; }
  mv -f -- "$partial" "$out/$name"
  partial=
}

# copy_as SRC DST : byte copy via temp + rename, for the odd-name variants.
copy_as() {
  have "$2" && return 0
  partial="$out/.copy.partial.$$"
  cp -- "$out/$1" "$partial"
  mv -f -- "$partial" "$out/$2"
  partial=
}

# Prefer real H.264; fall back to the mpeg4 (ASP) encoder on builds without libx264
# so the rest of the set still gets made. Looked up only when needed, so the
# no-op run does not pay for an extra ffmpeg start.
h264=
h264_args() {
  if [[ -z $h264 ]]; then
    # Capture first: grep -q closing the pipe early would trip pipefail.
    local encoders
    encoders=$(ffmpeg -hide_banner -nostdin -encoders 2>/dev/null)
    if grep -qw libx264 <<<"$encoders"; then
      h264=libx264
    else
      h264=mpeg4
      echo "note: this ffmpeg has no libx264; H.264 files are mpeg4 instead" >&2
    fi
  fi
  if [[ $h264 == libx264 ]]; then
    h264_opts=(-c:v libx264 -preset fast -pix_fmt yuv420p)
  else
    h264_opts=(-c:v mpeg4 -q:v 4 -pix_fmt yuv420p)
  fi
}
h264_opts=()

# --- regular media ----------------------------------------------------------

if ! have h264_aac_23976.mp4; then
  h264_args
  # Default-ish preset keeps B-frames, so the file has reordered PTS.
  gen h264_aac_23976.mp4 mp4 \
    -f lavfi -i "$(vsrc 320x240 24000/1001 2)" \
    -f lavfi -i "$(tone 440 48000 2)" \
    "${h264_opts[@]}" -c:a aac -ac 2 -ar 48000 -t 2
fi

gen mpeg4_mp3.mp4 mp4 \
  -f lavfi -i "$(vsrc 320x240 25 2)" \
  -f lavfi -i "$(tone 440 44100 2)" \
  -c:v mpeg4 -pix_fmt yuv420p -c:a libmp3lame -ac 2 -ar 44100 -t 2

gen mjpeg_ima4_2997.mov mov \
  -f lavfi -i "$(vsrc 320x240 30000/1001 2)" \
  -f lavfi -i "$(tone 440 48000 2)" \
  -c:v mjpeg -pix_fmt yuvj420p -c:a adpcm_ima_qt -ac 2 -ar 48000 -t 2

gen dx50_mp3.avi avi \
  -f lavfi -i "$(vsrc 320x240 25 2)" \
  -f lavfi -i "$(tone 440 44100 2)" \
  -c:v mpeg4 -vtag DX50 -pix_fmt yuv420p -c:a libmp3lame -ac 2 -ar 44100 -t 2

gen div3_pcm_mono.avi avi \
  -f lavfi -i "$(vsrc 160x120 15 2)" \
  -f lavfi -i "$(tone 440 22050 2)" \
  -c:v msmpeg4 -vtag DIV3 -pix_fmt yuv420p -c:a pcm_s16le -ac 1 -ar 22050 -t 2

gen xvid_ac3.avi avi \
  -f lavfi -i "$(vsrc 320x240 25 2)" \
  -f lavfi -i "$(tone 440 48000 2)" \
  -c:v mpeg4 -vtag XVID -pix_fmt yuv420p -c:a ac3 -ac 2 -ar 48000 -t 2

# MPEG-1 system stream (ISO 11172-1 pack headers), NTSC SIF.
gen mpeg1_system.mpg mpeg \
  -f lavfi -i "$(vsrc 352x240 30000/1001 3)" \
  -f lavfi -i "$(tone 440 44100 3)" \
  -c:v mpeg1video -pix_fmt yuv420p -c:a mp2 -ac 2 -ar 44100 -t 3

# MPEG-2 program stream (MPEG-2 pack headers via the vob muxer).
gen mpeg2_program.mpg vob \
  -f lavfi -i "$(vsrc 720x576 25 3)" \
  -f lavfi -i "$(tone 440 48000 3)" \
  -c:v mpeg2video -pix_fmt yuv420p -b:v 2M -aspect 4:3 -c:a mp2 -ac 2 -ar 48000 -t 3

# What a DVD rip looks like: PAL, anamorphic 16:9, AC-3, with DVD muxing.
gen pal_ac3.vob dvd \
  -f lavfi -i "$(vsrc 720x576 25 3)" \
  -f lavfi -i "$(tone 440 48000 3)" \
  -target pal-dvd -aspect 16:9 -ac 2 -t 3

gen pal.dv dv \
  -f lavfi -i "$(vsrc 720x576 25 2)" \
  -f lavfi -i "$(tone 440 48000 2)" \
  -c:v dvvideo -pix_fmt yuv420p -c:a pcm_s16le -ac 2 -ar 48000 -t 2

# A raw MPEG-1 video stream has no index and no duration field; demuxers
# guess duration from the sequence header's bit rate. Writing a header rate
# of 20 Mb/s over a ~200 kb/s stream makes that guess ~100x too short, which
# is exactly what a player must not trust.
if ! have elementary.mpv; then
  gen elementary.mpv mpeg1video \
    -f lavfi -i "$(vsrc 352x288 25 20)" \
    -c:v mpeg1video -pix_fmt yuv420p -b:v 200k -maxrate 20M -bufsize 2M -t 20
  naive=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$out/elementary.mpv")
  # Must be far from 20 s, or the file no longer tests what it is for.
  if ! awk -v d="$naive" 'BEGIN { exit !(d != "" && d + 0 < 15) }'; then
    rm -f -- "$out/elementary.mpv"
    echo "elementary.mpv: ffprobe guessed ${naive:-nothing} s; expected far below 20 s" >&2
    exit 1
  fi
fi
if ((verbose)); then
  echo "elementary.mpv: real length 20 s; ffprobe's header-based duration: $(
    ffprobe -v error -show_entries format=duration:format=bit_rate \
      -of compact=p=0 "$out/elementary.mpv")" >&2
fi

gen mpeg2_elementary.m2v mpeg2video \
  -f lavfi -i "$(vsrc 720x576 25 3)" \
  -c:v mpeg2video -pix_fmt yuv420p -b:v 2M -aspect 4:3 -t 3

gen audio_only.mp4 mp4 \
  -f lavfi -i "$(tone 440 44100 2)" \
  -c:a aac -ac 1 -ar 44100 -t 2

# pcm_s16be in MOV is the classic 'twos' sample description.
gen audio_only.mov mov \
  -f lavfi -i "$(tone 440 8000 2)" \
  -c:a pcm_s16be -ac 2 -ar 8000 -t 2

if ! have video_only.mov; then
  h264_args
  gen video_only.mov mov \
    -f lavfi -i "$(vsrc 640x480 25 2)" \
    "${h264_opts[@]}" -an -t 2
fi

# An hour-plus file so durations and seek positions cross 1:00:00. 16x16 at
# 1 fps keeps the video trivial with a keyframe every 10 s so seeks stay
# meaningful. Encoding an hour of AAC takes ~7 s, so 100 s of tone is encoded
# once and looped by stream copy (a short priming gap every 100 s is fine).
if ! have long_3700s.mp4; then
  scratch="$out/.long-audio.partial.$$"
  "${ff_in[@]}" -f lavfi -i "$(tone 440 8000 100)" \
    -c:a aac -ac 1 -ar 8000 -b:a 8k "${ff_out[@]}" -f adts "$scratch"
  gen long_3700s.mp4 mp4 \
    -f lavfi -i "$(vsrc 16x16 1 3700)" \
    -stream_loop -1 -i "$scratch" \
    -map 0:v -map 1:a -c:v mpeg4 -pix_fmt yuv420p -g 10 -c:a copy -t 3700
  rm -f -- "$scratch"
  scratch=
fi

# Two audio tracks of clearly different size: a quiet tone at 32 kb/s first,
# then seeded noise at 192 kb/s second (noise really uses the bits; a pure
# tone would not fill 192 kb/s, and the point is that track 2 is the bigger).
if ! have two_audio.mov; then
  gen two_audio.mov mov \
    -f lavfi -i "$(vsrc 320x240 25 2)" \
    -f lavfi -i "$(tone 440 48000 2)" \
    -f lavfi -i "anoisesrc=sample_rate=48000:duration=2:seed=1234:amplitude=0.5" \
    -map 0:v -map 1:a -map 2:a \
    -c:v mpeg4 -pix_fmt yuv420p \
    -c:a aac -ac 2 -ar 48000 -b:a:0 32k -b:a:1 192k -t 2
  sizes=$(ffprobe -v error -select_streams a -show_entries packet=stream_index,size \
    -of csv=p=0 "$out/two_audio.mov" |
    awk -F, '{ s[$1] += $2 } END { print s[1] + 0, s[2] + 0 }')
  read -r a1 a2 <<<"$sizes"
  if ((a2 <= a1)); then
    rm -f -- "$out/two_audio.mov"
    echo "two_audio.mov: second audio track ($a2 B) not bigger than first ($a1 B)" >&2
    exit 1
  fi
fi

gen exact24.mp4 mp4 \
  -f lavfi -i "$(vsrc 320x240 24 2)" \
  -c:v mpeg4 -pix_fmt yuv420p -r 24 -an -t 2

gen exact30.mp4 mp4 \
  -f lavfi -i "$(vsrc 320x240 30 2)" \
  -c:v mpeg4 -pix_fmt yuv420p -r 30 -an -t 2

# 5.1 with a different pitch per channel, so a channel mix-up is audible
# and measurable rather than six identical channels.
gen sixch.mov mov \
  -f lavfi -i "$(vsrc 320x240 25 2)" \
  -f lavfi -i "$(tone 300 48000 2)" -f lavfi -i "$(tone 400 48000 2)" \
  -f lavfi -i "$(tone 500 48000 2)" -f lavfi -i "$(tone 60 48000 2)" \
  -f lavfi -i "$(tone 700 48000 2)" -f lavfi -i "$(tone 800 48000 2)" \
  -filter_complex '[1:a][2:a][3:a][4:a][5:a][6:a]join=inputs=6:channel_layout=5.1[a]' \
  -map 0:v -map '[a]' \
  -c:v mpeg4 -pix_fmt yuv420p -c:a aac -ar 48000 -t 2

# Same H.264+AAC content remuxed, so Matroska is covered without another
# encode.
gen clip.mkv matroska -i "$out/h264_aac_23976.mp4" -c copy

# --- broken and odd inputs --------------------------------------------------
# Each of these is created by a single atomic step (or copy + rename).

[[ -e $out/empty.mov ]] || : >"$out/empty.mov"

if ! have text.mov; then
  partial="$out/.text.partial.$$"
  echo "This is not a movie, just a line of text." >"$partial"
  mv -f -- "$partial" "$out/text.mov"
  partial=
fi

# Cut inside the first sample data: no moov atom survives.
if ! have truncated.mp4; then
  partial="$out/.truncated.partial.$$"
  head -c 3000 -- "$out/h264_aac_23976.mp4" >"$partial"
  mv -f -- "$partial" "$out/truncated.mp4"
  partial=
fi

[[ -d $out/dir.avi ]] || mkdir -- "$out/dir.avi"
[[ -p $out/fifo.mp4 ]] || mkfifo -- "$out/fifo.mp4"
[[ -L $out/dangling.mp4 ]] || ln -s -- "does-not-exist.mp4" "$out/dangling.mp4"

copy_as h264_aac_23976.mp4 noext
copy_as h264_aac_23976.mp4 "-dash 'quote' \"dq\" sp ace.mp4"
