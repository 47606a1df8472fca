# Shared by scripts/run and scripts/test: Debian packages and the build folders.

# Every Debian package the project builds, tests or runs with.
LUMRA_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libminizip-dev
  zip unzip libarchive-tools python3 time
  xvfb xauth
  libsdl2-dev libx11-dev xdotool x11-apps console-setup-linux
  libpng-dev libjpeg-dev libtiff-dev imagemagick libtiff-tools libjpeg-turbo-progs python3-pil
  locales-all
)

# Installs whatever of the given packages is missing (as root, or through sudo).
ensure_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
      sudo=(sudo)
    else
      echo "error: missing packages (${missing[*]}) and neither root nor sudo" >&2
      return 1
    fi
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}" ||
    { "${sudo[@]}" apt-get update && "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"; }
}

build_jobs() { nproc 2>/dev/null || echo 2; }
