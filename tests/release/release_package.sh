#!/usr/bin/env bash
# A maker's release: a payload of our own (the demonstration payload with another read-me and a
# DLL among the developer files, which the record of setup.exe then names) and a
# throwaway self-signed certificate give a package whose read-me is the maker's, whose checksums
# hold, whose programs carry a signature osslsigncode accepts and the project's version, whose
# setup.exe records the signed uninstall.exe and passes the import check, and which still installs
# and uninstalls on Windows XP under Wine (uninstall_roundtrip.sh on it). Then the script's refusal
# of an output folder inside the payload, and a build that fails midway and keeps the last
# package. The package step's own refusals are package_step_test.py's.
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
mkdir -p "$payload/bin" && cp "$TALVEN_TEST_TOOLS/planted_dll.dll" "$payload/bin/talven.dll" || exit 1

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
expect_eq "record of the signed uninstall.exe in setup.exe" \
  "$(sha256sum "$out/talven-package/uninstall.exe" | cut -c1-64)" \
  "$(python3 -B -c 'import sys; sys.path.insert(0, sys.argv[1]); import make_package as m
print(*(h for p, _, h in m.read_record(m.read_bytes(sys.argv[2])) if p == "uninstall.exe"))' \
       "$TALVEN_SOURCE_DIR/package" "$out/talven-package/setup.exe")"
expect_ok "signed setup.exe passes the import check" \
  python3 "$TALVEN_SOURCE_DIR/tests/pe/check_pe.py" \
  --allowed "$TALVEN_SOURCE_DIR/tests/pe/allowed_imports.txt" "$out/talven-package/setup.exe"
expect_ok "round trip of the signed package on Windows XP" \
  env TALVEN_PACKAGE="$out/talven-package" TALVEN_TEST_DIR="$work/roundtrip" \
  bash "$TALVEN_SOURCE_DIR/tests/wine/scenarios/uninstall_roundtrip.sh"

cp "$out/SHA256SUMS" "$work/good.sums"

# The output folder inside the payload: make-package.sh refuses before it makes the folder.
script_refused() {
  ! bash "$TALVEN_SOURCE_DIR/scripts/make-package.sh" "$1" "$1/out" >"$work/build.log" 2>&1 &&
    grep -F "$2" "$work/build.log" && [ ! -e "$1/out" ]
}
expect_ok "output folder inside the payload refused" script_refused "$payload" \
  "error: $(realpath "$payload")/out: the output folder lies inside the payload"

# A build that fails once the package is under way (an unusable signing key) leaves the last
# package, archive and checksums as they were.
mv "$work/key.pem" "$work/key.good" && echo junk >"$work/key.pem"
expect_fail "package build with an unusable signing key" package_build "$payload"
mv "$work/key.good" "$work/key.pem"
expect_same_file "last package's checksums kept" "$work/good.sums" "$out/SHA256SUMS"
expect_ok "last package and archive kept" sh -c "cd '$out' && sha256sum --strict -c SHA256SUMS"

finish
