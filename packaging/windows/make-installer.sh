#!/usr/bin/env bash
# Gathers the Windows program folder and makes the installer from it.
#   make-installer.sh BUILD QT
# BUILD is the Windows build with kerfline.exe and kerfline-cli.exe; QT the cross-built Qt. Writes
# BUILD/Kerfline (the folder as installed) and BUILD/Kerfline-Setup-VERSION.exe.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:?the Windows build folder}")
qt=$(realpath "${2:?the Qt for Windows folder}")
triple=x86_64-w64-mingw32
version=$(sed -n 's/^project(Kerfline VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
stage="$build/Kerfline"

rm -rf "$stage" && mkdir -p "$stage/platforms" "$stage/styles"
cp "$build/kerfline.exe" "$build/kerfline-cli.exe" "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
# The native look of Windows 10 and 11 is a plugin in Qt 6.
if [ -e "$qt/plugins/styles/qwindowsvistastyle.dll" ]; then
  cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
fi
# Help Topics looks for the manual beside the program.
mkdir -p "$stage/manual"
(cd "$source_dir/docs/manual" && find . -type f ! -name '*.sh' ! -name '*.py' -exec cp --parents {} "$stage/manual/" \;)
cp "$source_dir/packaging/copyright" "$stage/copyright.txt"

# Every DLL the programs and plugins import that is not part of Windows: Qt's own and the compiler's
# runtime, found by walking the import tables.
search=("$qt/bin" "$(dirname "$($triple-g++-posix -print-libgcc-file-name)")" "/usr/$triple/lib")
copy_imports() { # file
  local dll folder
  for dll in $($triple-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'); do
    [ -e "$stage/$dll" ] && continue
    for folder in "${search[@]}"; do
      if [ -e "$folder/$dll" ]; then
        cp "$folder/$dll" "$stage/"
        copy_imports "$stage/$dll"
        break
      fi
    done
  done
}
while IFS= read -r -d '' binary; do
  copy_imports "$binary"
done < <(find "$stage" -name '*.exe' -print0 -o -name '*.dll' -print0)

# Debugging symbols stay in the build: they are most of an unstripped program's size.
find "$stage" \( -name '*.exe' -o -name '*.dll' \) -exec $triple-strip --strip-unneeded {} +

# The installer's lists: what to put where, and what the uninstaller takes away (files first, then
# the folders, deepest first).
(
  cd "$stage"
  find . -type d | sort | while IFS= read -r dir; do
    rel=${dir#./}
    [ "$dir" = . ] && rel=""
    printf 'SetOutPath "$INSTDIR%s"\n' "${rel:+\\${rel//\//\\}}"
    find "$dir" -maxdepth 1 -type f | sort | while IFS= read -r file; do
      printf 'File "%s"\n' "$stage/${file#./}"
    done
  done
  printf 'SetOutPath "$INSTDIR"\n'
) >"$build/install.nsh"
(
  cd "$stage"
  find . -type f | sort | while IFS= read -r file; do
    rel=${file#./}
    printf 'Delete "$INSTDIR\\%s"\n' "${rel//\//\\}"
  done
  find . -mindepth 1 -type d | sort -r | while IFS= read -r dir; do
    rel=${dir#./}
    printf 'RMDir "$INSTDIR\\%s"\n' "${rel//\//\\}"
  done
) >"$build/uninstall.nsh"

makensis -V2 -DVERSION="$version" -DSTAGE="$build" -DOUTFILE="$build/Kerfline-Setup-$version.exe" \
  "$source_dir/packaging/windows/kerfline.nsi"
echo "make-installer: $build/Kerfline-Setup-$version.exe ($(du -h "$build/Kerfline-Setup-$version.exe" | cut -f1))"
