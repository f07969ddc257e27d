#!/usr/bin/env bash
# Installs the Debian packages a command of this project needs, when missing.
# Usage: scripts/install-deps.sh <package>...
set -euo pipefail
missing=()
for pkg in "$@"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
# Packages of another architecture (wine32:i386 for 32-bit Wine) need Debian's
# multiarch for it before the package lists are fetched.
for pkg in "${missing[@]}"; do
  case $pkg in
    *:*)
      arch=${pkg##*:}
      if [ "$(dpkg --print-architecture)" != "$arch" ] && ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
        $SUDO dpkg --add-architecture "$arch"
      fi ;;
  esac
done
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
# Recommended packages too: Wine needs Mesa's software OpenGL (a recommendation) for Direct3D.
$SUDO apt-get install -y -q "${missing[@]}"
