# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by scripts/run and scripts/test: install what is missing, then build.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${WATTLINE_BUILD_DIR:-$ROOT/build}
# CMake options the build directory must have.
CONFIGURE_ARGS=()

install_packages() {
  local wanted missing=()
  wanted=$(grep -v '^#' "$ROOT/scripts/packages" | grep -v '^$')
  for pkg in $wanted; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq >&2
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

build() {
  if [ ! -f "$BUILD_DIR/build.ninja" ]; then
    cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${CONFIGURE_ARGS[@]}" >&2
  elif [ ${#CONFIGURE_ARGS[@]} -gt 0 ]; then
    cmake -S "$ROOT" -B "$BUILD_DIR" "${CONFIGURE_ARGS[@]}" >/dev/null
  fi
  # Progress goes to standard error; an up-to-date build says nothing.
  local status=0
  cmake --build "$BUILD_DIR" --parallel "$(nproc)" "$@" 2>&1 |
    grep -v -E '^ninja: no work to do\.$|Re-checking globbed directories' >&2 || status=${PIPESTATUS[0]}
  return "$status"
}
