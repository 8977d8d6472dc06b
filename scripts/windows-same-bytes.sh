#!/usr/bin/env bash
# Same bytes on both platforms: the Linux build's kerfline-cli writes the reference outputs for every
# fixture, the Windows build's kerfline-cli.exe writes them again under Wine, and every file and every
# printed text must be byte for byte the same.
#   windows-same-bytes.sh WINDOWS_BUILD [LINUX_BUILD]
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
windows_build=${1:?the Windows build folder}
linux_build=${2:-${KERFLINE_LINUX_BUILD:-$source_dir/build}}
# The commands run inside each fixture's own folder.
windows_build=$(realpath "$windows_build")
linux_build=$(realpath "$linux_build")
linux_cli="$linux_build/kerfline-cli"
windows_cli="$windows_build/kerfline-cli.exe"
for program in "$linux_cli" "$windows_cli"; do
  if [ ! -x "$program" ] && [ ! -e "$program" ]; then
    echo "same-bytes: $program is missing (build it first)" >&2
    exit 1
  fi
done
export WINEDEBUG=-all
# Wine's own prefix beside the build, never the user's ~/.wine.
export WINEPREFIX=${WINEPREFIX:-$windows_build/wineprefix}

# Runs every command with `run` (a program and its arguments), writing into $out.
write_outputs() { # out, program...
  local out=$1
  shift
  local cli=("$@") fixture name
  rm -rf "$out" && mkdir -p "$out"
  for fixture in "$source_dir"/tests/fixtures/*.mp3; do
    name=$(basename "$fixture" .mp3)
    mkdir -p "$out/$name"
    cp "$fixture" "$out/$name/$name.mp3"
    (
      cd "$out/$name"
      # Relative names only: the outputs must not differ by the folder they were written in.
      "${cli[@]}" info "$name.mp3" >info.txt 2>&1 || echo "status $?" >>info.txt
      "${cli[@]}" info --json "$name.mp3" >info.json 2>&1 || echo "status $?" >>info.json
      "${cli[@]}" levels --raw "$name.mp3" >levels-raw.txt 2>&1 || echo "status $?" >>levels-raw.txt
      "${cli[@]}" wav "$name.mp3" out.wav >wav.txt 2>&1 || echo "status $?" >>wav.txt
      "${cli[@]}" split "$name.mp3" -o plain --count 3 >split.txt 2>&1 || echo "status $?" >>split.txt
      "${cli[@]}" split "$name.mp3" -o gapless --count 3 --gapless --copy-tags >split-gapless.txt 2>&1 ||
        echo "status $?" >>split-gapless.txt
      for format in cue labels tracklist bps; do
        "${cli[@]}" breakpoints "$name.mp3" --count 4 --export $format -o "list.$format" >"list-$format.txt" 2>&1 ||
          echo "status $?" >>"list-$format.txt"
      done
    )
  done
}

out="$windows_build/same-bytes"
started=$SECONDS
write_outputs "$out/linux" "$linux_cli"
write_outputs "$out/windows" wine "$windows_cli"
# The messages name a piece the way the system does, with Windows' separator there; the files
# themselves must be the same bytes.
find "$out/windows" -name '*.txt' -exec sed -i 's|\\|/|g' {} +
if diff -r "$out/linux" "$out/windows" >"$out/differences.txt"; then
  echo "same-bytes: the outputs of $(ls "$out/linux" | wc -l) fixtures are the same on Linux and Windows ($((SECONDS - started)) s)"
else
  echo "same-bytes: the Windows outputs differ from Linux's:" >&2
  head -n 40 "$out/differences.txt" >&2
  exit 1
fi
