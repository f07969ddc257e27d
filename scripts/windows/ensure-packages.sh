#!/bin/bash
# Sourced by the Windows scripts: ensure_packages <what>=<package> ...
# installs each Debian package whose <what> is missing; <what> is a command
# name, or an absolute path that must exist. Needs root on a fresh machine.
ensure_packages() {
    local missing=() pair what
    for pair in "$@"; do
        what=${pair%%=*}
        if [ "${what#/}" != "$what" ]; then
            [ -e "$what" ] && continue
        else
            command -v "$what" >/dev/null 2>&1 && continue
        fi
        missing+=("${pair#*=}")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}"
    if [ "$(id -u)" != 0 ]; then
        echo "cannot install ${missing[*]}: not root" >&2
        return 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    if ! { apt-get update -qq && apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; }; then
        echo "apt-get could not install ${missing[*]}" >&2
        return 1
    fi
}

# ensure_architecture <arch>: Debian's multiarch for <arch> (i386 for 32-bit
# Wine), so that its packages can be installed; ensure_packages then fetches
# its package lists.
ensure_architecture() {
    local arch=$1
    [ "$(dpkg --print-architecture)" = "$arch" ] && return 0
    dpkg --print-foreign-architectures | grep -qx "$arch" && return 0
    if [ "$(id -u)" != 0 ]; then
        echo "cannot add the $arch architecture: not root" >&2
        return 1
    fi
    echo "adding the $arch architecture"
    dpkg --add-architecture "$arch"
}
