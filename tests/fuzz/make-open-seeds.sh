#!/usr/bin/env bash
# Seeds for kv_fuzz_source_open: short real files of every kind the open reads,
# each behind the byte that picks its kind (0 MP3, 1 ADTS, 2 MP4), plus two
# MP3 files joined at different rates. Usage: make-open-seeds.sh OUTDIR
set -euo pipefail
out=${1:?output folder}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sig() { sox -R -q -n -r "$1" -c "$2" -b 16 "$3" synth 0.6 sine 300-2000 synth 0.6 pinknoise mix vol 0.5; }
sig 44100 2 "$tmp/s44.wav"
sig 22050 1 "$tmp/m22.wav"
seed() { { printf "$1"; cat "$2"; } > "$out/$3"; }
L="lame --quiet --noreplaygain"
$L -b 128 "$tmp/s44.wav" "$tmp/cbr.mp3" && seed '\x00' "$tmp/cbr.mp3" cbr
$L -V2 "$tmp/s44.wav" "$tmp/vbr.mp3" && seed '\x00' "$tmp/vbr.mp3" vbr
$L -b 64 -p "$tmp/s44.wav" "$tmp/crc.mp3" && seed '\x00' "$tmp/crc.mp3" crc
$L -b 32 -m m "$tmp/m22.wav" "$tmp/m22.mp3" && seed '\x00' "$tmp/m22.mp3" mpeg2_mono
cat "$tmp/cbr.mp3" "$tmp/m22.mp3" > "$tmp/joined.mp3" && seed '\x00' "$tmp/joined.mp3" joined
ffmpeg -y -v error -i "$tmp/s44.wav" -c:a aac -b:a 96k -f adts "$tmp/s.aac" && seed '\x01' "$tmp/s.aac" adts
ffmpeg -y -v error -i "$tmp/m22.wav" -c:a aac -b:a 48k "$tmp/m.m4a" && seed '\x02' "$tmp/m.m4a" mp4
