#!/usr/bin/env bash
# Makes sure Wine that runs 32-bit Windows programs is installed, together with socat, Xvfb and
# xauth, which scripts/wine-tests.sh needs as well. Whatever is missing comes from Debian's
# packages (the i386 architecture is added for wine32), as root or through sudo.
# Exit status: 0 when everything is there; 3 when Wine cannot be installed, with the reason as
# the last line on stderr; 1 when socat, Xvfb or xauth are missing and cannot be installed.
set -uo pipefail

have() { command -v "$1" >/dev/null 2>&1; }
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# Debian's /usr/bin/wine falls back to wine64 when wine32:i386 is missing, and a 64-bit-only
# Wine runs none of a 32-bit program; a Wine from elsewhere is taken as it is, and
# scripts/wine-tests.sh checks that it really runs 32-bit programs.
wine32_ready() {
  have wine && have wineboot && have wineserver && have winepath || return 1
  if have dpkg-query && installed wine; then installed wine32:i386; else return 0; fi
}

need_wine=0
wine32_ready || need_wine=1
tools=()
have socat || tools+=(socat)
have Xvfb || tools+=(xvfb)
have xauth || tools+=(xauth)
[ "$need_wine" -eq 0 ] && [ ${#tools[@]} -eq 0 ] && exit 0

cannot() {  # reason
  if [ "$need_wine" -eq 1 ]; then
    echo "$1" >&2
    exit 3
  fi
  echo "cannot install ${tools[*]}: $1" >&2
  exit 1
}

have apt-get || cannot "no apt-get on this system"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  have sudo || cannot "not root, and sudo is not available"
  sudo -n true 2>/dev/null || cannot "not root, and sudo wants a password"
  sudo=(sudo -n)
fi

packages=("${tools[@]}")
if [ "$need_wine" -eq 1 ]; then
  packages+=(wine wine32:i386)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo[@]}" dpkg --add-architecture i386 || cannot "dpkg --add-architecture i386 failed"
  fi
fi

log=$(mktemp)
trap 'rm -f "$log"' EXIT
apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -q -y -o DPkg::Lock::Timeout=300)
start=$SECONDS
echo "Installing: ${packages[*]}"
apt_errors() {
  local lines
  lines=$(grep -E '^(E|W|Err):' "$log" | head -n2 | paste -sd ';' | sed 's/;/; /g')
  [ -n "$lines" ] || lines=$(tail -n1 "$log")
  echo "${lines:-no message}"
}
timeout 900 "${apt[@]}" update >"$log" 2>&1 ||
  cannot "apt-get update failed (status $?): $(apt_errors)"
timeout 1800 "${apt[@]}" install "${packages[@]}" >"$log" 2>&1 ||
  cannot "apt-get install ${packages[*]} failed (status $?): $(apt_errors)"
echo "Installed in $((SECONDS - start)) s"

for t in socat Xvfb xauth; do
  have "$t" || { need_wine=0; tools=("$t"); cannot "$t still missing"; }
done
wine32_ready || cannot "wine and wine32:i386 were installed, yet no 32-bit Wine is found"
exit 0
