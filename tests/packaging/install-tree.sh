#!/usr/bin/env bash
# `cmake --install` into a fresh prefix puts every file a desktop needs in its place, and the
# installed programs run from there.
set -euo pipefail
build=$(cd "$1" && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
app=com.velquorn.Kerfline
expected=(
  bin/kerfline bin/kerfline-cli
  share/applications/$app.desktop
  share/metainfo/$app.metainfo.xml
  share/icons/hicolor/scalable/apps/$app.svg
  share/icons/hicolor/48x48/apps/$app.png
  share/icons/hicolor/256x256/apps/$app.png
  share/man/man1/kerfline.1.gz share/man/man1/kerfline-cli.1.gz
  share/bash-completion/completions/kerfline-cli
  share/doc/kerfline/manual/index.html
  share/doc/kerfline/copyright
)
status=0
for file in "${expected[@]}"; do
  [ -f "$prefix/$file" ] || { echo "not installed: $file"; status=1; }
done
# Every picture the manual shows is installed beside it.
for image in $(grep -o 'src="[^"]*"' "$prefix/share/doc/kerfline/manual/index.html" | sed 's/src="//; s/"$//'); do
  [ -f "$prefix/share/doc/kerfline/manual/$image" ] || { echo "manual picture missing: $image"; status=1; }
done
"$prefix/bin/kerfline-cli" --version | grep -q '^kerfline-cli ' || { echo "kerfline-cli --version"; status=1; }
"$prefix/bin/kerfline" --version | grep -q '^Kerfline ' || { echo "kerfline --version"; status=1; }
# The completion offers the commands.
[ -f /usr/share/bash-completion/bash_completion ] || { echo "bash-completion is missing: run scripts/install-deps.sh"; exit 1; }
words=$(bash -c 'source /usr/share/bash-completion/bash_completion
  source "$1"; COMP_WORDS=(kerfline-cli sp); COMP_CWORD=1; COMP_LINE="kerfline-cli sp"; COMP_POINT=${#COMP_LINE}
  _kerfline_cli kerfline-cli sp kerfline-cli; echo "${COMPREPLY[*]}"' _ "$prefix/share/bash-completion/completions/kerfline-cli")
[ "$words" = split ] || { echo "completion of 'kerfline-cli sp' gave '$words'"; status=1; }
exit $status
