# Shared by scripts/run and scripts/test: install what is missing, then build.
set -euo pipefail

VELMOR_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
VELMOR_BUILD="${VELMOR_BUILD:-$VELMOR_ROOT/build}"

VELMOR_PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libqt6sql6-mysql libqt6sql6-odbc zlib1g-dev libzstd-dev libssl-dev
  mariadb-server mariadb-client odbc-mariadb unixodbc galera-4 rsync
  socat xvfb xauth poppler-utils zbar-tools zstd
  cups cups-client printer-driver-cups-pdf
  dpkg-dev fakeroot file lintian librsvg2-bin desktop-file-utils
)

velmor_install() {
  local missing=()
  for p in "${VELMOR_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  echo "Installing: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# The compiler cache (CMakeLists.txt compiles through ccache when it is
# installed).  Paths are taken relative to the tree, and the build folder is
# left out of the key even where debug information names it.  A compile that
# uses a precompiled header is keyed on that header too, which names its
# build folder: those hit only in the folder that made them.
velmor_ccache() {
  export CCACHE_BASEDIR="$VELMOR_ROOT"
  export CCACHE_NOHASHDIR=1
  # Needed for ccache to cache compiles that use precompiled headers.
  export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
  export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-5G}"
}

# The one build of the tree: RelWithDebInfo with Debian's hardening
# (CMakeLists.txt), for the tests, the benchmark and the package alike.
# Arguments: the targets to build (default: all).
velmor_build() {
  velmor_ccache
  if [ ! -f "$VELMOR_BUILD/build.ninja" ]; then
    cmake -S "$VELMOR_ROOT" -B "$VELMOR_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  fi
  local targets=()
  if [ $# -gt 0 ]; then targets=(--target "$@"); fi
  cmake --build "$VELMOR_BUILD" -j"$(nproc)" "${targets[@]}"
}

velmor_runtime_env() {
  if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR="/tmp/velmor-runtime-$(id -u)"
    mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  fi
}
