#!/usr/bin/env bash
# Seeds for kv_fuzz_fragment_list_archive: valid fragment-list texts naming
# SOURCE (the file given to the fuzzer as KV_FUZZ_SOURCE), silence, and
# relocation cases. Usage: make-archive-seeds.sh SOURCE OUTDIR
set -euo pipefail
src=$1
out=$2
mkdir -p "$out"
n=${#src}
h="22 serialization::archive 17"
seed() { printf "$1%s" "$2" > "$out/$3"; }
seed '\x01' "$h 1 0 1 $n $src 0 1 0 0 0 0" one_run_check
seed '\x01' "$h 1 0 1 $n $src 0 1 1 4 4 0" one_frame_edited
seed '\x02' "$h 2 0 1 $n $src 0 1 0 0 0 0 0  0 5 0 0 1 1 0 0 1 1 -2 -2 2" source_and_silence
seed '\x00' "$h 0 1 25 mp3Morvelta.clipboard.fmt 1 0  0 4 1 2 3 1 0 0 3" clipboard_silence
seed '\x05' "$h 2 0 1 19 /kvfuzz/old/a/x.mp3 0 3 0 0 0 2 19 /kvfuzz/old/a/x.mp3 3 1 0 0 0 0" moved_missing
seed '\x0d' "$h 1 0 1 25 C:\\Users\\me\\music\\a.mp3 0 2 0 0 0 1" windows_path
seed '\x00' "$h 1 0 1 0  0 3 12 4 44100 2 0 0 0 0 0 2 0 1024 1 0 0 2" aac_silence
seed '\x01' "$h 1 0 0 $((n + 1)) 
$src 0 1 0 0 0 0" version0_string
