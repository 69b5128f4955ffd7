#!/usr/bin/env bash
# Renders the program's PNG artwork under Resources/ from the drawings in svg/.
# The PNGs are committed so that building needs no SVG renderer: run this
# after changing a drawing and commit both. Needs rsvg-convert (librsvg2-bin,
# installed by scripts/setup-deps).
#
# Each line: drawing, logical size in pixels, scales. Scale 1 writes NAME.png,
# scale 2 writes NAME@2x.png, which Qt picks up by itself on high-density
# screens (and which a few places name directly).
set -euo pipefail
cd "$(dirname "$0")"
command -v rsvg-convert >/dev/null || { echo "render-icons: rsvg-convert not found (apt-get install librsvg2-bin)" >&2; exit 1; }

render() {
  local name=$1 size=$2 scale px out
  shift 2
  for scale in "$@"; do
    px=$((size * scale))
    out=Resources/$name.png
    [ "$scale" = 1 ] || out=Resources/$name@${scale}x.png
    rsvg-convert -w "$px" -h "$px" "svg/$name.svg" -o "$out"
  done
}

# Tool-bar and menu actions: shown at 16, 24 and 32.
for name in \
  action_open action_exit action_close action_append action_save action_save_as \
  action_save_mp3 action_save_sel action_save_tracks action_convert_sel action_convert_tracks \
  action_play action_play_sel action_pause action_pause_sel action_stop \
  action_beginning action_end action_previous_track action_next_track action_recording_new \
  action_cut action_copy action_paste action_delete action_crop action_sel_all \
  action_undo action_redo action_fade_in action_fade_out action_vol_inc action_vol_dec \
  action_vol_silence action_vol_silence_off action_normalize action_ins_silence \
  action_options action_help action_zoom_in action_zoom_out action_rate \
  id3_tagedit mp3Morvelta_New
do
  render "$name" 32 1 2
done
render action_convert_mp3 32 2            # named by its high-density file only

# Large dialog buttons.
for name in action_record_big action_recording_big action_convert_big action_converting_big; do
  render "$name" 64 1 2
done
render action_rate_big_no_shadow 72 1 2

# Small push-button and file-list icons.
render reset_black 16 1 2
render mp3Morvelta_16 16 1 2
render mp3_icon_green_16_alpha 16 1 2

# Playback-control labels: 20 x 20, named by their high-density files.
for name in playback_quiet playback_loud playback_flat playback_sharp playback_slow playback_fast; do
  render "$name" 20 2
done

# Pop-up guide buttons: drawn scaled into 16 x 16, so one image sharp enough for 2x.
for name in stop_guide stop_guide_down play_guide play_guide_down close_guide_upgrade close_guide_upgrade_down; do
  render "$name" 32 1
done

# Cursors: used pixel for pixel, hot spots fixed by the frame display.
for name in sel_adjust_both sel_adjust_left sel_adjust_right arrow_scrub hand_scrub closedhand_scrub; do
  render "$name" 24 1
done

# The program's logo (About box).
render mp3Morvelta_512 512 1
