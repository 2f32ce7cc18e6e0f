#!/usr/bin/env bash
# A maker's release: a payload of our own (the demonstration payload with another read-me) and a
# throwaway self-signed certificate give a package whose read-me is the maker's, whose checksums
# hold, whose programs carry a signature osslsigncode accepts and the project's version, and
# which still installs and uninstalls on Windows XP under Wine (uninstall_roundtrip.sh on it).
# Then payloads the build must refuse, one per rule of the package step, a build that fails
# midway and keeps the last package, and names at the edge of the rules that pass.
#
#   release_package.sh PROJECT_VERSION          (environment as talven_wine_test sets it)
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

version=$1
work=$TALVEN_TEST_DIR/release
build=$work/build
rm -rf "$work"
mkdir -p "$work"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=TALVEN test signer" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null || exit 1
payload=$work/payload
cp -r "$TALVEN_WIN32_BIN/package/talven-package" "$payload" || exit 1
rm "$payload/setup.exe" "$payload/uninstall.exe" || exit 1
printf 'Read-me of a maker'"'"'s own release.\r\n' >"$payload/setup.txt"

# package_build PAYLOAD: configure the release build with it, build the package, keep the output.
package_build() {
  cmake -S "$TALVEN_SOURCE_DIR" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$TALVEN_SOURCE_DIR/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DTALVEN_PAYLOAD_DIR="$1" \
    -DTALVEN_SIGN_CERT="$work/cert.pem" -DTALVEN_SIGN_KEY="$work/key.pem" >"$work/build.log" 2>&1 &&
    cmake --build "$build" -j2 --target talven_package >>"$work/build.log" 2>&1
}

expect_ok "signed package of our payload" package_build "$payload"
out=$build/package
expect_same_file "setup.txt in the folder" "$payload/setup.txt" "$out/talven-package/setup.txt"
expect_eq "setup.txt in the archive" "$(cat "$payload/setup.txt")" \
  "$(python3 -c 'import sys, zipfile; sys.stdout.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]).decode())' \
       "$out/talven-package.zip" talven-package/setup.txt)"
expect_ok "SHA256SUMS" sh -c "cd '$out' && sha256sum --strict -c SHA256SUMS"
expect_eq "SHA256SUMS lists the folder and the archive" \
  "$( (cd "$out" && find talven-package -type f && echo talven-package.zip) | sort)" \
  "$(cut -c67- "$out/SHA256SUMS" | sort)"
for program in setup uninstall; do
  expect_ok "$program.exe signature" osslsigncode verify -CAfile "$work/cert.pem" \
    -in "$out/talven-package/$program.exe"
  expect_eq "$program.exe version" "$version $version" "$(python3 - "$out/talven-package/$program.exe" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
i = data.index(struct.pack("<I", 0xFEEF04BD))  # VS_FIXEDFILEINFO
fms, fls, pms, pls = struct.unpack_from("<4I", data, i + 8)
v = lambda ms, ls: "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
print(v(fms, fls), v(pms, pls))
PY
)"
done
expect_ok "round trip of the signed package on Windows XP" \
  env TALVEN_PACKAGE="$out/talven-package" TALVEN_TEST_DIR="$work/roundtrip" \
  bash "$TALVEN_SOURCE_DIR/tests/wine/scenarios/uninstall_roundtrip.sh"

# refused PAYLOAD TEXT: the package build fails and says TEXT.
refused() {
  if package_build "$1"; then
    echo "built"
    return 1
  fi
  grep -F "$2" "$work/build.log"
}
cp "$out/SHA256SUMS" "$work/good.sums"

# One payload per rule: a copy of ours, changed by CHANGE (run in it), is refused with
# "error: <copy>/TEXT".
bad=$work/bad
refused_payload() {  # CHANGE TEXT
  rm -rf "$bad" && cp -r "$payload" "$bad" && (cd "$bad" && eval "$1") || return 1
  expect_ok "payload refused: $1" refused "$bad" "error: $bad/$2"
}
long=$(printf %0220d 0)
refused_payload 'rm setup.txt' 'setup.txt: missing'
refused_payload 'cp "$TALVEN_WIN32_BIN/setup/setup.exe" system/talvenkp.sys' \
  'system/talvenkp.sys: subsystem 2, not the native subsystem (1)'
refused_payload 'mkdir System && echo junk >System/ntfs.sys' \
  'System: the same name on Windows as system (names differ only in case)'
only="system/ holds the four driver files windrvr.sys, talvenkp.sys, windrvr.vxd, talvenkp.vxd"
refused_payload 'cp system/windrvr.sys system/x.sysfoo' \
  "system/x.sysfoo: $only and nothing else; setup's system\\*.sys copy would put this into"
refused_payload 'cp system/windrvr.sys "system/null.sys "' \
  'system/null.sys : ends in a dot or a space'
refused_payload 'touch doc/con.txt' 'doc/con.txt: a device name on Windows'
refused_payload 'touch "doc/caf$(printf "\351")"' 'doc/caf\xe9: holds \xe9; names hold'
refused_payload 'touch doc/PROGRA~1.TXT' 'doc/PROGRA~1.TXT: has the form of an 8.3 name'
refused_payload "touch doc/$long" \
  "doc/$long: installed as C:\\Program Files\\Orbanet\\TALVEN 5.7\\doc\\$long, 260 characters;"
refused_payload 'ln -s "$work/key.pem" doc/key.pem' 'doc/key.pem: a symbolic link; only regular'
refused_payload 'mkfifo doc/pipe' 'doc/pipe: a named pipe'
refused_payload 'touch SETUP.EXE' "SETUP.EXE: names the package's own setup.exe on Windows"

# The output folder and the payload one inside the other: make-package.sh refuses before it
# makes the folder, the package step refuses a payload in its output folder.
script_refused() {
  ! bash "$TALVEN_SOURCE_DIR/scripts/make-package.sh" "$1" "$1/out" >"$work/build.log" 2>&1 &&
    grep -F "$2" "$work/build.log" && [ ! -e "$1/out" ]
}
expect_ok "output folder inside the payload refused" script_refused "$payload" \
  "error: $(realpath "$payload")/out: the output folder lies inside the payload"
cp -r "$payload" "$out/mine"
expect_ok "payload inside the output folder refused" refused "$out/mine" \
  "error: $(realpath "$out/mine"): the payload lies inside the output folder"
rm -rf "$out/mine"

# A build that fails once the package is under way (an unusable signing key) leaves the last
# package, archive and checksums as they were.
mv "$work/key.pem" "$work/key.good" && echo junk >"$work/key.pem"
expect_fail "package build with an unusable signing key" package_build "$payload"
mv "$work/key.good" "$work/key.pem"
expect_same_file "last package's checksums kept" "$work/good.sums" "$out/SHA256SUMS"
expect_ok "last package and archive kept" sh -c "cd '$out' && sha256sum --strict -c SHA256SUMS"

# Names at the edge of the rules pass: the characters allowed besides letters and digits, a tilde
# that is no 8.3 form, and the longest installed path.
edge=("doc/Notes, v1.0 (draft) [a+b=c; d&e] #1 %x% ~x \`!@\$^_{}'.txt" "doc/$(printf %0219d 0)")
for name in "${edge[@]}"; do echo edge >"$payload/$name"; done
expect_ok "payload with names at the edge of the rules" package_build "$payload"
expect_ok "edge names in the archive" python3 -c 'import sys, zipfile
names = zipfile.ZipFile(sys.argv[1]).namelist()
sys.exit(any("talven-package/" + name not in names for name in sys.argv[2:]))' \
  "$out/talven-package.zip" "${edge[@]}"
finish
