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
