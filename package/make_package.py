#!/usr/bin/env python3
"""The package step of the build: checks a payload folder, lays out talven-package/ from it and
the two programs, signs the programs when a certificate and key are given, then writes
talven-package.zip and SHA256SUMS beside the folder.

  make_package.py --payload DIR --setup EXE --uninstall EXE --out DIR [--source-dir DIR]
                  [--placeholder FILE]... [--sign-cert FILE --sign-key FILE --osslsigncode EXE]

The payload is laid out like the package: setup.txt, system/ with the four driver files, and any
developer files and folders. Every problem found is printed as "error: <file>: <what>" and the
step fails; --placeholder names the demonstration .vxd files, which pass with a warning.

The archive's entries come in sorted order, with fixed attributes and the time of
SOURCE_DATE_EPOCH, or else of the source tree's last commit, so that one commit gives the same
bytes wherever it is built.
"""
import argparse
import hashlib
import os
import shutil
import struct
import subprocess
import sys
import time
import zipfile

PACKAGE = "talven-package"
DRIVERS = ("windrvr.sys", "talvenkp.sys", "windrvr.vxd", "talvenkp.vxd")
PROGRAMS = ("setup.exe", "uninstall.exe")
README_SHOWN = 99999  # setup shows at most this many bytes of setup.txt
IMAGE_FILE_MACHINE_I386 = 0x14C
PE32_MAGIC = 0x10B
IMAGE_SUBSYSTEM_NATIVE = 1
ZIP_EARLIEST = 315532800  # 1980-01-01, the first time a zip entry can hold
WINDOWS_REFUSED = set('\\:*?"<>|')


def sys_problem(data):
    """What keeps data from being a 32-bit i386 PE image for the native subsystem, or None."""
    if len(data) < 0x40:
        return "not a PE image (%d bytes, too short for one)" % len(data)
    if data[:2] != b"MZ":
        return "not a PE image (no MZ header)"
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    if pe + 24 + 70 > len(data) or data[pe:pe + 4] != b"PE\0\0":
        return "not a PE image (no PE signature)"
    (machine,) = struct.unpack_from("<H", data, pe + 4)
    if machine != IMAGE_FILE_MACHINE_I386:
        return "built for machine 0x%04x, not i386 (0x014c)" % machine
    (magic,) = struct.unpack_from("<H", data, pe + 24)
    if magic != PE32_MAGIC:
        return "optional header magic 0x%03x, not a 32-bit PE (0x10b)" % magic
    (subsystem,) = struct.unpack_from("<H", data, pe + 24 + 68)
    if subsystem != IMAGE_SUBSYSTEM_NATIVE:
        return "subsystem %d, not the native subsystem (1) of a kernel driver" % subsystem
    return None


def vxd_problem(data):
    """What keeps data from being an LE executable (an MZ stub leading to an LE header), or None."""
    if len(data) < 0x40:
        return "not an LE executable (%d bytes, too short for one)" % len(data)
    if data[:2] != b"MZ":
        return "not an LE executable (no MZ header)"
    (le,) = struct.unpack_from("<I", data, 0x3C)
    if data[le:le + 2] != b"LE":
        return "not an LE executable (no LE header)"
    return None


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def check_payload(payload, placeholders):
    """Errors and warnings of a payload folder, as lists of texts naming the file."""
    errors, warnings = [], []
    if not os.path.isdir(payload):
        return ["%s: payload folder missing" % payload], warnings
    readme = os.path.join(payload, "setup.txt")
    if not os.path.isfile(readme):
        errors.append("%s: missing (the read-me setup shows first)" % readme)
    elif os.path.getsize(readme) > README_SHOWN:
        warnings.append("%s: %d bytes; setup shows only the first %d"
                        % (readme, os.path.getsize(readme), README_SHOWN))
    for name in PROGRAMS:
        if os.path.lexists(os.path.join(payload, name)):
            errors.append("%s: the package brings its own %s; remove it from the payload"
                          % (os.path.join(payload, name), name))
    system = os.path.join(payload, "system")
    for name in DRIVERS:
        if not os.path.isfile(os.path.join(system, name)):
            errors.append("%s: missing (driver file)" % os.path.join(system, name))
    placeholder_bytes = [read_bytes(p) for p in placeholders]
    # setup copies every .sys (NT) or .vxd (9x) file of system/, so all of them are checked.
    for name in sorted(os.listdir(system)) if os.path.isdir(system) else []:
        path = os.path.join(system, name)
        kind = os.path.splitext(name)[1].lower()
        if kind not in (".sys", ".vxd") or not os.path.isfile(path):
            continue
        data = read_bytes(path)
        if kind == ".sys":
            problem = sys_problem(data)
        elif data in placeholder_bytes:
            warnings.append("%s: the demonstration placeholder, not a VxD; Windows 95/98 refuse "
                            "to load it and setup ends with its failure message there" % path)
            problem = None
        else:
            problem = vxd_problem(data)
        if problem:
            errors.append("%s: %s" % (path, problem))
    for root, dirs, files in os.walk(payload):
        for name in dirs + files:
            if WINDOWS_REFUSED & set(name) or any(ord(c) < 32 for c in name):
                errors.append("%s: a name Windows cannot hold" % os.path.join(root, name))
    return errors, warnings


def source_date_epoch(source_dir):
    """SOURCE_DATE_EPOCH, else the time of the source tree's last commit, else 1980-01-01."""
    value = os.environ.get("SOURCE_DATE_EPOCH")
    if value:
        return int(value)
    try:
        out = subprocess.run(["git", "-C", source_dir, "log", "-1", "--format=%ct"],
                             capture_output=True, text=True, check=True).stdout.strip()
        return int(out)
    except (OSError, subprocess.CalledProcessError, ValueError):
        return ZIP_EARLIEST


def package_entries(folder):
    """Every folder and file below folder (its own name first), sorted, with '/' separators."""
    base = os.path.dirname(folder)
    entries = [(os.path.basename(folder), True)]
    for root, dirs, files in os.walk(folder):
        rel = os.path.relpath(root, base)
        entries += [(os.path.join(rel, d).replace(os.sep, "/"), True) for d in dirs]
        entries += [(os.path.join(rel, f).replace(os.sep, "/"), False) for f in files]
    return sorted(entries)


def write_zip(archive, folder, epoch):
    stamp = time.gmtime(max(epoch, ZIP_EARLIEST))[:6]
    base = os.path.dirname(folder)
    tmp = archive + ".tmp"
    with zipfile.ZipFile(tmp, "w") as z:
        for name, is_dir in package_entries(folder):
            info = zipfile.ZipInfo(name + "/" if is_dir else name, stamp)
            info.create_system = 3
            if is_dir:
                info.external_attr = (0o40755 << 16) | 0x10
                z.writestr(info, b"")
            else:
                info.external_attr = 0o100644 << 16
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(os.path.join(base, name), "rb") as f:
                    z.writestr(info, f.read(), compresslevel=9)
    os.replace(tmp, archive)


def sha256(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 16), b""):
            h.update(block)
    return h.hexdigest()


def sign(osslsigncode, cert, key, exe):
    signed = exe + ".signed"
    subprocess.run([osslsigncode, "sign", "-certs", cert, "-key", key, "-h", "sha256",
                    "-in", exe, "-out", signed], check=True, stdout=subprocess.DEVNULL)
    os.replace(signed, exe)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--payload", required=True)
    ap.add_argument("--setup", required=True)
    ap.add_argument("--uninstall", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--source-dir", default=".")
    ap.add_argument("--placeholder", action="append", default=[])
    ap.add_argument("--sign-cert")
    ap.add_argument("--sign-key")
    ap.add_argument("--osslsigncode", default="osslsigncode")
    args = ap.parse_args()

    folder = os.path.join(args.out, PACKAGE)
    errors, warnings = check_payload(args.payload, args.placeholder)
    # The folder is made afresh below; a payload inside it would be deleted first.
    if os.path.commonpath([os.path.realpath(args.payload), os.path.realpath(folder)]) == \
            os.path.realpath(folder):
        errors.append("%s: lies inside the package folder %s, which is made afresh"
                      % (args.payload, folder))
    for text in warnings:
        print("warning: " + text)
    if errors:
        for text in errors:
            print("error: " + text, file=sys.stderr)
        print("error: payload %s refused: %d problem(s)" % (args.payload, len(errors)),
              file=sys.stderr)
        return 1

    archive = folder + ".zip"
    sums = os.path.join(args.out, "SHA256SUMS")
    # Made afresh each time, so that nothing stale stays in it.
    for stale in (archive, sums):
        if os.path.exists(stale):
            os.remove(stale)
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(args.payload, folder)
    for program, name in ((args.setup, PROGRAMS[0]), (args.uninstall, PROGRAMS[1])):
        shutil.copyfile(program, os.path.join(folder, name))
        if args.sign_cert:
            sign(args.osslsigncode, args.sign_cert, args.sign_key, os.path.join(folder, name))

    write_zip(archive, folder, source_date_epoch(args.source_dir))
    lines = ["%s  %s\n" % (sha256(os.path.join(args.out, name)), name)
             for name, is_dir in package_entries(folder) if not is_dir]
    lines.append("%s  %s\n" % (sha256(archive), os.path.basename(archive)))
    with open(sums, "w") as f:
        f.writelines(lines)

    print("package folder: %s%s" % (folder, " (programs signed)" if args.sign_cert else ""))
    print("archive:        %s" % archive)
    print("checksums:      %s" % sums)
    return 0


if __name__ == "__main__":
    sys.exit(main())
