#!/usr/bin/env bash
# Installs the Debian packages that building and testing phototrim need, when they are missing.
# Uses apt-get, through sudo when not run as root. Downloads nothing from anywhere else.
# Further package names on the command line are installed as well (a script's own extra tools).
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  ccache                   # the test run compiles again only what changed
  libjpeg62-turbo-dev      # the codec
  libhwy-dev               # the reduction's vector kernels (Highway, one source for every CPU)
  libjpeg-turbo-progs      # djpeg and cjpeg, the reference the codec tests compare with
  libheif-dev libde265-0   # HEIC/HEIF input (HEVC through libde265)
  libheif-examples         # heif-enc, which the tests make their HEIF files with
  liblcms2-dev             # colour profiles for HEIF colour descriptions
  libexiv2-dev             # Exif carried into outputs on request
  libgtest-dev             # the tests
  libbenchmark-dev         # the benchmarks
  qt6-base-dev             # the window (Qt 6 Widgets)
  libfontconfig-dev        # the hinting of the window's faces
  libexiv2-dev             # the Exif thumbnails of the crop check window
  libopencv-objdetect-dev opencv-data  # the faces of --crop-focus faces and 顔に合わせる
  qt6-translations-l10n    # Japanese texts of Qt's standard buttons
  fonts-ipafont-gothic     # the window's Gothic faces, proportional and fixed-pitch
  fonts-ipafont-mincho     # the splash line's Mincho face
  xvfb xauth               # running the window without a display (xvfb-run)
  qt6-wayland weston       # the window on Wayland, and a headless compositor to test it there
  at-spi2-core python3-pyatspi dbus-daemon  # reading the window as a screen reader does (AT-SPI)
  clang libclang-rt-14-dev # the fuzzing targets (libFuzzer, ASan, UBSan)
  dosfstools fusefat       # a FAT32 memory card mounted without a kernel module, for the save tests
  go-md2man                # the manual pages, written in Markdown
  dpkg-dev                 # dpkg-shlibdeps, for the Debian package's Depends
  lintian desktop-file-utils appstream man-db bash-completion  # the checks of the package and its files
)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)" = installed ] || missing+=("$p")
done
[ "${#missing[@]}" -eq 0 ] && exit 0

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }
echo "installing: ${missing[*]}" >&2
as_root apt-get update -qq
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
