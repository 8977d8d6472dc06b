#!/usr/bin/env bash
# Makes the Debian package, lets lintian look at it, installs it with apt as a user would, checks
# that the desktop finds it, and removes it again. Changes the machine: CI runs it as root; elsewhere
# it asks sudo.
set -euo pipefail
build=$(cd "$1" && pwd)
for tool in cpack dpkg-shlibdeps lintian apt-get dpkg-query; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh"; exit 1; }
done
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo -n true 2>/dev/null || { echo "installing the package needs root or sudo without a password"; exit 1; }
  sudo="sudo -n"
fi
apt=($sudo env DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o DPkg::Lock::Timeout=300)

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/kerfline_*.deb)
status=0

# Errors only: warnings and notes are for the packager to weigh.
lintian --fail-on error "$deb" || { echo "lintian found errors"; status=1; }

app=com.velquorn.Kerfline
if dpkg-query -W -f='${Status}' kerfline 2>/dev/null | grep -q 'install ok installed'; then
  echo "kerfline is installed already; this test installs and removes it itself"
  exit 1
fi
"${apt[@]}" install "$deb" >/dev/null
for file in /usr/bin/kerfline /usr/bin/kerfline-cli /usr/share/applications/$app.desktop \
            /usr/share/man/man1/kerfline.1.gz /usr/share/man/man1/kerfline-cli.1.gz \
            /usr/share/icons/hicolor/scalable/apps/$app.svg /usr/share/metainfo/$app.metainfo.xml \
            /usr/share/doc/kerfline/manual/index.html; do
  [ -f "$file" ] || { echo "not installed: $file"; status=1; }
done
# From PATH, as a user types it; man finds the pages by name.
(cd / && PATH=/usr/bin:/bin kerfline-cli --version) | grep -qx "kerfline-cli [0-9.]*" || { echo "kerfline-cli --version from PATH"; status=1; }
MANWIDTH=80 man -P cat kerfline-cli 2>/dev/null | grep -q "EXIT STATUS" || { echo "man kerfline-cli"; status=1; }
MANWIDTH=80 man -P cat kerfline 2>/dev/null | grep -q "kerfline - cut MP3 files" || { echo "man kerfline"; status=1; }

"${apt[@]}" remove kerfline >/dev/null
if dpkg-query -W -f='${Status}' kerfline 2>/dev/null | grep -q 'installed'; then
  echo "kerfline is still installed: $(dpkg-query -W -f='${Status}' kerfline)"; status=1
fi
for file in /usr/bin/kerfline /usr/bin/kerfline-cli /usr/share/applications/$app.desktop /usr/share/doc/kerfline; do
  [ ! -e "$file" ] || { echo "left behind: $file"; status=1; }
done
exit $status
