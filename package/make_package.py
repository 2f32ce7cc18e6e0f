#!/usr/bin/env python3
"""The package step of the build: checks a payload folder, lays out talven-package/ from it and
the two programs, signs the programs when a certificate and key are given, then writes
talven-package.zip and SHA256SUMS beside the folder. All three are made in talven-package.new/
first and replace the last ones only once they are complete.

  make_package.py --payload DIR --setup EXE --uninstall EXE --out DIR [--source-dir DIR]
                  [--placeholder FILE]... [--sign-cert FILE --sign-key FILE --osslsigncode EXE]

The payload is laid out like the package: setup.txt, system/ with the four driver files, and any
developer files and folders. Every name in it is checked as Windows will see it, and only
regular files and folders are taken (links are never followed). Every problem found is printed
as "error: <file>: <what>" and the step fails; --placeholder names the demonstration .vxd files,
which pass with a warning. The output folder and the payload may not lie one inside the other.

The archive's entries come in sorted order, with fixed attributes and the time of
SOURCE_DATE_EPOCH, or else of the source tree's last commit, so that one commit gives the same
bytes wherever it is built.
"""
import argparse
import hashlib
import os
import re
import shutil
import stat
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
WINDOWS_REFUSED = set('<>:"/\\|?*')
DEVICES = {"CON", "PRN", "AUX", "NUL", "CLOCK$", "CONIN$", "CONOUT$"} | \
    {port + str(n) for port in ("COM", "LPT") for n in range(10)}
# A name like PROGRA~1 or SETUP~12.EXE: up to eight characters, a tilde and digits at the end of
# them, and an extension of at most three.
SHORT_NAME_FORM = re.compile(r"(?=[^.]{2,8}(?:\.|$))[^. ]*~[0-9]+(?:\.[^. ]{1,3})?")
NOT_REGULAR = {stat.S_IFLNK: "a symbolic link", stat.S_IFCHR: "a character device",
               stat.S_IFBLK: "a block device", stat.S_IFIFO: "a named pipe",
               stat.S_IFSOCK: "a socket"}
# Setup's default install directory, and the longest paths Windows creates below it: MAX_PATH
# (260) less the final NUL for a file, CreateDirectory's 248 less the NUL for a folder. Setup's
# own buffers (1024 characters) hold more, so Windows is what limits.
INSTALL_DIR = "C:\\Program Files\\Orbanet\\TALVEN 5.7"
FILE_PATH_MOST = 259
FOLDER_PATH_MOST = 247
# What the payload must hold: (relative parts, file type, what it is).
REQUIRED = [(("setup.txt",), stat.S_IFREG, "the read-me setup shows first"),
            (("system",), stat.S_IFDIR, "the folder of the driver files")] + \
    [(("system", name), stat.S_IFREG, "driver file") for name in DRIVERS]


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
    """The bytes of the file at path; a link there is not followed (the open fails instead)."""
    with os.fdopen(os.open(path, os.O_RDONLY | os.O_NOFOLLOW), "rb") as f:
        return f.read()


def shown(path):
    """path as printable ASCII, each other byte as \\xNN, for messages."""
    return "".join(chr(b) if 32 <= b < 127 else "\\x%02x" % b for b in os.fsencode(path))


def payload_entries(payload):
    """(relative parts, lstat result) of every entry below payload, sorted, each folder before its
    contents. Links are not followed: a link is an entry like any other, and nothing it points at
    is looked at."""
    entries, folders = [], [()]
    while folders:
        parts = folders.pop()
        for name in os.listdir(os.path.join(payload, *parts)):
            info = os.lstat(os.path.join(payload, *parts, name))
            entries.append((parts + (name,), info))
            if stat.S_ISDIR(info.st_mode):
                folders.append(parts + (name,))
    return sorted(entries, key=lambda entry: entry[0])


def windows_key(name):
    """What Windows compares when it looks a name up: trailing dots and spaces dropped, case
    ignored (payload names are ASCII, where str.upper is Windows' own upper-casing)."""
    return name.rstrip(". ").upper()


def driver_copy_pattern(name):
    """The pattern of setup's driver copy, "*.sys" or "*.vxd", that takes name along, or None.
    Windows matches a pattern against the long name and the 8.3 name both; the 8.3 name's
    extension is the first three characters after the last dot with spaces dropped, so that
    x.sysfoo (X~1.SYS) and x.sy s (X~1.SYS) are *.sys files as much as x.sys is."""
    _, dot, extension = windows_key(name).rpartition(".")
    short = extension.replace(" ", "")[:3]
    return "*." + short.lower() if dot and short in ("SYS", "VXD") else None


def name_problem(name):
    """What keeps Windows from holding name as written, or None."""
    for c in name:
        if not " " <= c <= "~" or c in WINDOWS_REFUSED:
            return ("holds %s; names hold printable ASCII only, without < > : \" / \\ | ? *"
                    % ("'%s'" % c if " " <= c <= "~" else shown(c)))
    if name[-1] in ". ":
        return "ends in a dot or a space, which Windows drops from a name"
    if name.split(".")[0].rstrip(" ").upper() in DEVICES:
        return ("a device name on Windows (CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9, CLOCK$, "
                "CONIN$, CONOUT$), with or without an extension")
    if SHORT_NAME_FORM.fullmatch(name):
        return ("has the form of an 8.3 name Windows makes up for a long name (NAME~N.EXT), "
                "under which it may open another file of the folder")
    return None


def entry_problem(parts, kind, same_name):
    """What keeps one payload entry (relative parts, file type) out of the package, or None;
    same_name is the entry that Windows takes for the same one, or None."""
    name = parts[-1]
    key = windows_key(name)
    if kind not in (stat.S_IFREG, stat.S_IFDIR):
        return ("%s; only regular files and folders go into a package, and links are not "
                "followed" % NOT_REGULAR.get(kind, "neither a file nor a folder"))
    problem = name_problem(name)
    if problem:
        return problem
    if len(parts) == 1 and key in (p.upper() for p in PROGRAMS):
        return ("names the package's own %s on Windows; remove it from the payload"
                % key.lower())
    if same_name:
        return ("the same name on Windows as %s (names differ only in case)"
                % shown("/".join(same_name)))
    in_system = len(parts) == 2 and windows_key(parts[0]) == "SYSTEM"
    spelled = {n.upper(): n for n in (DRIVERS if in_system else
                                      ("setup.txt", "system") if len(parts) == 1 else ())}
    if spelled.get(key, name) != name:
        return "Windows takes it for %s; spell it so" % spelled[key]
    if in_system and (name not in DRIVERS or kind != stat.S_IFREG):
        pattern = driver_copy_pattern(name)
        return ("system/ holds the four driver files %s and nothing else%s"
                % (", ".join(DRIVERS), "; setup's system\\%s copy would put this into the "
                   "Windows driver directory" % pattern if pattern else ""))
    installed = INSTALL_DIR + "\\" + "\\".join(parts)
    most = FOLDER_PATH_MOST if kind == stat.S_IFDIR else FILE_PATH_MOST
    if len(installed) > most:
        return ("installed as %s, %d characters; Windows allows a %s path at most %d"
                % (installed, len(installed), "folder" if kind == stat.S_IFDIR else "file", most))
    return None


def check_payload(payload, placeholders):
    """Errors and warnings of a payload folder, as lists of texts naming the file, and its entries
    (relative parts, lstat result), which are what the package is copied from."""
    if not os.path.isdir(payload):
        return ["%s: payload folder missing" % shown(payload)], [], []
    entries = payload_entries(payload)
    kinds = {parts: stat.S_IFMT(info.st_mode) for parts, info in entries}
    # Of names Windows takes for one, the one in lower case (else the first) is the one kept.
    kept = {}
    for parts in sorted(kinds, key=lambda parts: (parts[-1] != parts[-1].lower(), parts)):
        kept.setdefault(parts[:-1] + (windows_key(parts[-1]),), parts)
    errors, warnings = [], []
    for parts, _ in entries:
        same = kept[parts[:-1] + (windows_key(parts[-1]),)]
        problem = entry_problem(parts, kinds[parts], same if same != parts else None)
        if problem:
            errors.append("%s: %s" % (shown(os.path.join(payload, *parts)), problem))
    for parts, kind, what in REQUIRED:
        path = os.path.join(payload, *parts)
        if parts not in kinds:
            errors.append("%s: missing (%s)" % (shown(path), what))
        elif kinds[parts] != kind and kinds[parts] in (stat.S_IFREG, stat.S_IFDIR):
            errors.append("%s: a %s, where the package needs %s" % (
                shown(path), "folder" if kinds[parts] == stat.S_IFDIR else "file", what))
    readme = os.path.join(payload, "setup.txt")
    if kinds.get(("setup.txt",)) == stat.S_IFREG and os.lstat(readme).st_size > README_SHOWN:
        warnings.append("%s: %d bytes; setup shows only the first %d"
                        % (shown(readme), os.lstat(readme).st_size, README_SHOWN))
    placeholder_bytes = [read_bytes(p) for p in placeholders]
    for name in DRIVERS:
        path = os.path.join(payload, "system", name)
        if kinds.get(("system", name)) != stat.S_IFREG:
            continue  # reported above
        data = read_bytes(path)
        if name.endswith(".sys"):
            problem = sys_problem(data)
        elif data in placeholder_bytes:
            warnings.append("%s: the demonstration placeholder, not a VxD; Windows 95/98 refuse "
                            "to load it and setup ends with its failure message there"
                            % shown(path))
            problem = None
        else:
            problem = vxd_problem(data)
        if problem:
            errors.append("%s: %s" % (shown(path), problem))
    return errors, warnings, entries


def inside(path, folder):
    """Whether path is folder or lies below it (both real paths)."""
    return path == folder or path.startswith(folder.rstrip(os.sep) + os.sep)


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
    with zipfile.ZipFile(archive, "w") as z:
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


def copy_payload(payload, entries, folder):
    """Lays the checked entries out in folder; a link that appeared since the check fails the
    open instead of being followed."""
    os.mkdir(folder)
    for parts, info in entries:
        if stat.S_ISDIR(info.st_mode):
            os.mkdir(os.path.join(folder, *parts))
        else:
            with open(os.path.join(folder, *parts), "wb") as f:
                f.write(read_bytes(os.path.join(payload, *parts)))


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

    payload, out = args.payload, os.path.realpath(args.out)
    errors, warnings, entries = check_payload(payload, args.placeholder)
    # A package made inside its own payload would be part of the next one; a payload inside the
    # output folder could be replaced by what is made from it.
    real_payload = os.path.realpath(payload)
    if inside(out, real_payload):
        errors.append("%s: the output folder lies inside the payload %s"
                      % (shown(out), shown(real_payload)))
    elif inside(real_payload, out):
        errors.append("%s: the payload lies inside the output folder %s"
                      % (shown(real_payload), shown(out)))
    for text in warnings:
        print("warning: " + text)
    if errors:
        for text in errors:
            print("error: " + text, file=sys.stderr)
        print("error: payload %s refused: %d problem(s)" % (shown(payload), len(errors)),
              file=sys.stderr)
        return 1

    # The new package is made complete beside the last one, which it then replaces.
    folder, archive = os.path.join(out, PACKAGE), os.path.join(out, PACKAGE + ".zip")
    sums = os.path.join(out, "SHA256SUMS")
    new, old = os.path.join(out, PACKAGE + ".new"), os.path.join(out, PACKAGE + ".old")
    for stale in (new, old):
        shutil.rmtree(stale, ignore_errors=True)
    try:
        os.makedirs(new)
        new_folder = os.path.join(new, PACKAGE)
        copy_payload(payload, entries, new_folder)
        for program, name in ((args.setup, PROGRAMS[0]), (args.uninstall, PROGRAMS[1])):
            shutil.copyfile(program, os.path.join(new_folder, name))
            if args.sign_cert:
                sign(args.osslsigncode, args.sign_cert, args.sign_key,
                     os.path.join(new_folder, name))
        write_zip(os.path.join(new, PACKAGE + ".zip"), new_folder,
                  source_date_epoch(args.source_dir))
        lines = ["%s  %s\n" % (sha256(os.path.join(new, name)), name)
                 for name, is_dir in package_entries(new_folder) if not is_dir]
        lines.append("%s  %s\n" % (sha256(os.path.join(new, PACKAGE + ".zip")),
                                    PACKAGE + ".zip"))
        with open(os.path.join(new, "SHA256SUMS"), "w") as f:
            f.writelines(lines)

        if os.path.lexists(folder):
            os.rename(folder, old)
        try:
            os.rename(new_folder, folder)
        except OSError:
            if os.path.lexists(old):
                os.rename(old, folder)
            raise
        os.replace(os.path.join(new, PACKAGE + ".zip"), archive)
        os.replace(os.path.join(new, "SHA256SUMS"), sums)
    finally:
        for done in (new, old):
            shutil.rmtree(done, ignore_errors=True)

    print("package folder: %s%s" % (folder, " (programs signed)" if args.sign_cert else ""))
    print("archive:        %s" % archive)
    print("checksums:      %s" % sums)
    return 0


if __name__ == "__main__":
    sys.exit(main())
