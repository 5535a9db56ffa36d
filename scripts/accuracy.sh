#!/usr/bin/env bash
# The accuracy campaign: rendered conductors composited onto real photographs
# from Debian's wallpaper packages, precision tracing beside the default scan.
# Usage: scripts/accuracy.sh BUILD_DIR [COUNT]
# Installs the wallpaper packages when missing (as root, through apt-get),
# builds accuracy_campaign in BUILD_DIR and runs it niced. Exit status 1 when
# a target is missed.
set -euo pipefail
build=${1:-build-rel}
count=${2:-320}
need=()
[ -d /usr/share/backgrounds/mate/nature ] || need+=(mate-backgrounds)
[ -d /usr/share/wallpapers/Autumn ] || need+=(plasma-workspace-wallpapers)
if [ ${#need[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${need[@]}"
fi
backgrounds=(/usr/share/backgrounds/mate/nature/*.jpg
             /usr/share/wallpapers/Autumn/contents/images/2560x1600.jpg
             /usr/share/wallpapers/BytheWater/contents/images/2560x1600.jpg)
cmake --build "$build" --target accuracy_campaign -j"$(nproc)"
nice -n 10 "$build/tests/accuracy/accuracy_campaign" --count "$count" "${backgrounds[@]}"
