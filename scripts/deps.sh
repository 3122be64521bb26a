# Sourced by scripts/test and scripts/fly: installs the Debian packages the
# build needs when any is missing. Quick when everything is present.
kodrix_install_deps() {
  local want=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev
              libbenchmark-dev libcli11-dev libtomlplusplus-dev nlohmann-json3-dev libfmt-dev
              python3 python3-pefile g++-mingw-w64-i686 wine wine32:i386)
  local missing=()
  for p in "${want[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}" >&2
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "error: need root (or sudo) to install: ${missing[*]}" >&2; return 1; }
    sudo="sudo"
  fi
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -q || return 1
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" || return 1
}
