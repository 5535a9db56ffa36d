#!/usr/bin/env bash
# Installs the Debian packages Sarn needs, skipping those already present.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev          # Qt 6 Widgets: the window and the clipboard
  qt6-charts-dev        # Qt Charts: the plot of the stringing chart
  qt6-translations-l10n # Qt's own Japanese: the file dialogs' and buttons' texts
  libqt6opengl6-dev     # CMake package of Qt OpenGL, which Qt Charts needs but does not pull in
  libturbojpeg0-dev     # TurboJPEG: JPEG encoding of synthetic test photos, benchmark baseline
  libjpeg-dev           # libjpeg API of libjpeg-turbo: scaled, row-streamed photo decoding
  libexif-dev           # EXIF of a photo: capture date, orientation, camera and lens
  libheif-dev           # HEIC/HEIF photos: decoding, their rotation and mirroring, their EXIF
  liblensfun-dev liblensfun-data-v1  # lensfun: camera and lens database, lens distortion correction
  libgtest-dev libgmock-dev
  libbenchmark-dev
  fonts-ipafont-gothic  # Japanese captions (stands in for "ＭＳ Ｐゴシック"), embedded in reports
  poppler-utils         # pdftotext, pdffonts, pdfimages: report checks in tests; pdftoppm for docs
  libcli11-dev          # CLI11: the commands' options and --help
  nlohmann-json3-dev    # nlohmann-json: the commands' JSON output and saved measurements
  libssl-dev            # libcrypto's SHA-256: a saved measurement names its photo by its digest
  libjpeg-turbo-progs python3  # djpeg and the timing runner of the first-load benchmark
  dpkg-dev file         # make package: dpkg-shlibdeps finds the .deb's dependencies
  lintian man-db        # checking the .deb and its manual page
  desktop-file-utils    # the test that validates packaging/sarn.desktop
  # The real-X test (tests/x11): an X server, a window manager, XTest input,
  # the clipboard, the X server's own window queries, and a screenshot.
  xvfb openbox xdotool xclip x11-utils imagemagick
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
