#!/usr/bin/env bash
# Installs the Debian packages of tools/debian-packages.txt that are missing,
# with apt-get as root or through sudo. A no-op when everything is there.
# ORV_SKIP_DEPS=1 skips the step (for machines set up by other means).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [[ "${ORV_SKIP_DEPS:-0}" == "1" ]]; then
  echo "ORV_SKIP_DEPS=1: not checking or installing packages"
  exit 0
fi
if ! command -v dpkg-query >/dev/null || ! command -v apt-get >/dev/null; then
  echo "install-deps: this is not a Debian-like system (no dpkg-query or apt-get)." >&2
  echo "  Install the packages of tools/debian-packages.txt (or their equivalents) by hand," >&2
  echo "  then run again with ORV_SKIP_DEPS=1." >&2
  exit 1
fi
mapfile -t wanted < <(grep -vE '^\s*(#|$)' "$here/debian-packages.txt")
missing=()
for p in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0
echo "install-deps: about to install with apt-get: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
  if ! command -v sudo >/dev/null; then
    echo "install-deps: these packages are missing and this is not root, and there is no sudo." >&2
    echo "  As root: apt-get install ${missing[*]}" >&2
    echo "  Then run again (or with ORV_SKIP_DEPS=1 to skip this check)." >&2
    exit 1
  fi
  sudo=(sudo env DEBIAN_FRONTEND=noninteractive)
fi
export DEBIAN_FRONTEND=noninteractive
if ! "${sudo[@]}" apt-get update -qq || ! "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
  echo "install-deps: apt-get could not install: ${missing[*]}" >&2
  exit 1
fi
echo "install-deps: installed."
