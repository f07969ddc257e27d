#!/usr/bin/env bash
# Installs the Debian packages of each <purpose> in scripts/packages.txt that
# are missing. Usage: scripts/install-deps.sh <purpose>...
# Needs root, or sudo, when something is missing. Exits 1 when a purpose is
# unknown or a package cannot be installed.
set -euo pipefail
list="$(cd "$(dirname "$0")" && pwd)/packages.txt"
wanted=()
for purpose in "$@"; do
  line=$(grep -E "^$purpose[[:space:]]" "$list" || true)
  if [ -z "$line" ]; then
    echo "install-deps: no purpose '$purpose' in $list" >&2
    exit 1
  fi
  read -r -a packages <<<"${line#"$purpose"}"
  wanted+=("${packages[@]}")
done
missing=()
for pkg in "${wanted[@]}"; do
  case " ${missing[*]} " in *" $pkg "*) continue ;; esac
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "cannot install ${missing[*]}: not root" >&2
    exit 1
  fi
  SUDO="sudo"
fi
# Packages of another architecture (wine32:i386 for 32-bit Wine) need Debian's
# multiarch for it before the package lists are fetched.
for pkg in "${missing[@]}"; do
  case $pkg in
    *:*)
      arch=${pkg##*:}
      if [ "$(dpkg --print-architecture)" != "$arch" ] && ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
        echo "adding the $arch architecture"
        $SUDO dpkg --add-architecture "$arch"
      fi ;;
  esac
done
export DEBIAN_FRONTEND=noninteractive
# Recommended packages too: Wine's recommendations are part of what it needs for Direct3D.
if ! { $SUDO apt-get update -q && $SUDO apt-get install -y -q "${missing[@]}"; }; then
  echo "apt-get could not install ${missing[*]}" >&2
  exit 1
fi
