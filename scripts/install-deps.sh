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
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
# Recommended packages too: Wine needs Mesa's software OpenGL (a recommendation) for Direct3D.
$SUDO apt-get install -y -q "${missing[@]}"
