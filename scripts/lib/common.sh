# Shared by scripts/run and scripts/test: Debian packages and the build folders.

# Every Debian package the project builds, tests or runs with; the fuzz build also needs the
# sanitizer runtime of the clang it finds (clang_runtime_package).
LUMRA_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  clang
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libminizip-dev
  zip unzip libarchive-tools python3 time
  xvfb xauth xfonts-base
  libsdl2-dev libx11-dev xdotool x11-apps
  libfreetype-dev libfontconfig-dev fonts-dejavu-core hershey-fonts-data
  libpng-dev libjpeg-dev libtiff-dev
  # The loopback web server of `lvrview --serve`.
  libmicrohttpd-dev
  locales-all tzdata
  # Reference tools of the picture tests: ImageMagick, tiffcp, cjpeg/djpeg, and Pillow for
  # /usr/bin/python3. The fixture generators stop with the missing package's name.
  imagemagick libtiff-tools libjpeg-turbo-progs python3-pil
  # Ghostscript: libgs is loaded at run time by the picture loader; libgs-dev gives its interface
  # header, ghostscript the interpreter's resources and fonts.
  libgs-dev ghostscript
  # Desktop integration checks: desktop-file-validate, update-mime-database and
  # update-desktop-database, xdg-mime with GIO's type lookup (gio).
  desktop-file-utils shared-mime-info xdg-utils libglib2.0-bin
  # The real browser of the viewer's end-to-end test and of scripts/run without a display; with
  # Firefox (Debian's default browser) also the browsers of the tests of lvrview --serve.
  chromium firefox-esr
)

# Installs whatever of the given packages is missing: as root, or through sudo when it needs no
# password (sudo -n never waits for one, so an unattended run cannot hang on a prompt).
ensure_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
      sudo=(sudo -n)
    else
      echo "error: missing Debian packages: ${missing[*]}" >&2
      echo "  Run this script as root, allow this user sudo without a password, or install them first:" >&2
      echo "  sudo apt-get install ${missing[*]}" >&2
      return 1
    fi
  fi
  echo "Installing: ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}" ||
    { "${sudo[@]}" apt-get update && "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"; }
}

# The Debian package with the sanitizer and libFuzzer runtime of the clang on PATH: Debian ships
# one per major version (libclang-rt-14-dev for Debian 12's clang).
clang_runtime_package() {
  local version
  version=$(clang -dumpversion 2>/dev/null) || { echo "error: clang is not on PATH" >&2; return 1; }
  echo "libclang-rt-${version%%.*}-dev"
}

build_jobs() { nproc 2>/dev/null || echo 2; }
