# Sourced by the build scripts: install_missing PKG... installs the Debian
# packages that are not installed yet (apt-get update and install only then;
# as root, or through sudo).
install_missing() {
  local missing=() pkg me
  me="$(basename "$0")"
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "$me: please install as root: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
  fi
  echo "$me: installing ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}
