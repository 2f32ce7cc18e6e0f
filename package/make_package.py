#!/usr/bin/env python3
"""The package step of the build: checks a payload folder, lays out talven-package/ from it and
the two programs, records every file of the package but setup.exe (path, size, SHA-256) in a
section .talpkg of the package's setup.exe, signs the programs when a certificate and key are
given, then writes talven-package.zip and SHA256SUMS beside the folder. All three are made in
talven-package.new/ first and replace the last ones only once they are complete.

  make_package.py --payload DIR --setup EXE --uninstall EXE --out DIR [--source-dir DIR]
                  [--placeholder FILE]... [--sign-cert FILE --sign-key FILE --osslsigncode EXE]

The payload is laid out like the package: setup.txt, system/ with the four driver files, and any
developer files and folders. It is read once, through folder handles: no link is followed at any
level, a file's type is taken from its open handle, and the bytes checked are the bytes packaged.
Every name in it is checked as Windows will see it, and only regular files with one link and
folders are taken. Every problem found is printed as "error: <file>: <what>" and the step fails;
--placeholder names the demonstration .vxd files, which pass with a warning. The output folder
and the payload may not lie one inside the other.

The archive's entries come in sorted order, with fixed attributes and the time of
SOURCE_DATE_EPOCH (whole seconds from 1980 to 2107, what a zip entry can hold), or else of the
source tree's last commit, so that one commit gives the same bytes wherever it is built.
"""
import argparse
import collections
import errno
import hashlib
import io
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
# The record of the package in setup.exe: a section of its own, its header an
# IMAGE_SECTION_HEADER, its characteristics IMAGE_SCN_CNT_INITIALIZED_DATA | IMAGE_SCN_MEM_READ,
# its data "TPK1", the number of entries (u32), then per file its size (u32), SHA-256 and path
# length (u8), followed by the path.
SECTION_RECORD = b".talpkg\0"
SECTION_HEADER = struct.Struct("<8s6I2HI")
RECORD_CHARACTERISTICS = 0x00000040 | 0x40000000
RECORD_MAGIC = b"TPK1"
RECORD_ENTRY = struct.Struct("<I32s")
ZIP_EARLIEST = 315532800  # 1980-01-01 00:00:00, the first time a zip entry can hold
ZIP_LATEST = 4354819199  # 2107-12-31 23:59:59, the last one
# Opens inside the payload: a link is not followed, and a named pipe or device does not block.
OPEN_FLAGS = os.O_RDONLY | os.O_NOFOLLOW | os.O_NONBLOCK | os.O_CLOEXEC
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
    with os.fdopen(os.open(path, OPEN_FLAGS), "rb") as f:
        return f.read()


def shown(path):
    """path as printable ASCII, each other byte as \\xNN, for messages."""
    return "".join(chr(b) if 32 <= b < 127 else "\\x%02x" % b for b in os.fsencode(path))


def installed_path(parts):
    """Where setup puts a payload entry (relative parts) by default."""
    return INSTALL_DIR + "\\" + "\\".join(parts)


class Refused(Exception):
    """A problem that stops the package step."""


# One entry of the payload: relative parts, file type, number of links, bytes of a regular file.
Entry = collections.namedtuple("Entry", "parts kind links data")


def read_payload(payload):
    """The entries below payload, each folder before its contents (None when payload is no
    folder), and what could not be read, as {relative parts: why}.

    The payload is walked once, through folder handles: each entry is opened relative to its
    folder's handle without following a link, only what was listed as a regular file or folder is
    opened (neither blocks), and the type is taken again from the open handle, so that an entry
    swapped meanwhile is refused for what it has become, and a file's bytes, read from that
    handle, are the bytes checked and packaged. A folder whose installed path Windows could not
    hold is refused by the path rule and not entered."""
    entries, unread = [], {}

    def cannot_read(parts, error):
        unread[parts] = error.strerror

    def visit(folder, parts):
        try:
            with os.scandir(folder) as listing:
                names = sorted(entry.name for entry in listing)
        except OSError as error:
            return cannot_read(parts, error)
        for name in names:
            child = parts + (name,)
            try:
                kind = stat.S_IFMT(os.stat(name, dir_fd=folder, follow_symlinks=False).st_mode)
                handle = os.open(name, OPEN_FLAGS, dir_fd=folder) \
                    if kind in (stat.S_IFREG, stat.S_IFDIR) else None
            except OSError as error:
                if error.errno != errno.ELOOP:  # else a link since it was listed
                    cannot_read(child, error)
                    continue
                kind, handle = stat.S_IFLNK, None
            if handle is None:
                entries.append(Entry(child, kind, 1, None))
                continue
            try:
                info = os.fstat(handle)
                kind, data = stat.S_IFMT(info.st_mode), None
                if kind == stat.S_IFREG:
                    chunks = []
                    while chunk := os.read(handle, 1 << 20):
                        chunks.append(chunk)
                    data = b"".join(chunks)
                entries.append(Entry(child, kind, info.st_nlink, data))
                if kind == stat.S_IFDIR and len(installed_path(child)) <= FOLDER_PATH_MOST:
                    visit(handle, child)
            except OSError as error:
                cannot_read(child, error)
            finally:
                os.close(handle)

    try:
        root = os.open(payload, os.O_RDONLY | os.O_DIRECTORY | os.O_NONBLOCK | os.O_CLOEXEC)
    except OSError as error:
        if error.errno not in (errno.ENOENT, errno.ENOTDIR):
            cannot_read((), error)
        return None, unread
    try:
        visit(root, ())
    finally:
        os.close(root)
    return entries, unread


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


def entry_problem(parts, kind, same_name, links=1):
    """What keeps one payload entry (relative parts, file type, number of links) out of the
    package, or None; same_name is the entry that Windows takes for the same one, or None."""
    name = parts[-1]
    key = windows_key(name)
    if kind not in (stat.S_IFREG, stat.S_IFDIR):
        return ("%s; only regular files and folders go into a package, and links are not "
                "followed" % NOT_REGULAR.get(kind, "neither a file nor a folder"))
    if kind == stat.S_IFREG and links > 1:
        return ("a file with %d links (hard links), whose other names may lie outside the payload; "
                "only files with one name go into a package: copy it instead" % links)
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
    installed = installed_path(parts)
    most = FOLDER_PATH_MOST if kind == stat.S_IFDIR else FILE_PATH_MOST
    if len(installed) > most:
        return ("installed as %s, %d characters; Windows allows a %s path at most %d"
                % (installed, len(installed), "folder" if kind == stat.S_IFDIR else "file", most))
    return None


def check_payload(payload, placeholders):
    """Errors and warnings of a payload folder, as lists of texts naming the file, and its entries,
    which are what the package is made from."""
    entries, unread = read_payload(payload)
    if entries is None:
        return ["%s: %s" % (shown(payload), "cannot be read: " + unread[()] if unread else
                            "payload folder missing")], [], []
    errors = ["%s: cannot be read: %s" % (shown(os.path.join(payload, *parts)), why)
              for parts, why in sorted(unread.items())]
    found = {entry.parts: entry for entry in entries}
    # Of names Windows takes for one, the one in lower case (else the first) is the one kept.
    kept = {}
    for parts in sorted(found, key=lambda parts: (parts[-1] != parts[-1].lower(), parts)):
        kept.setdefault(parts[:-1] + (windows_key(parts[-1]),), parts)
    warnings = []
    for entry in entries:
        same = kept[entry.parts[:-1] + (windows_key(entry.parts[-1]),)]
        problem = entry_problem(entry.parts, entry.kind, same if same != entry.parts else None,
                                entry.links)
        if problem:
            errors.append("%s: %s" % (shown(os.path.join(payload, *entry.parts)), problem))
    for parts, kind, what in REQUIRED:
        path = os.path.join(payload, *parts)
        if parts not in found and not any(parts[:n] in unread for n in range(len(parts) + 1)):
            errors.append("%s: missing (%s)" % (shown(path), what))
        elif parts in found and found[parts].kind != kind and \
                found[parts].kind in (stat.S_IFREG, stat.S_IFDIR):
            errors.append("%s: a %s, where the package needs %s" % (
                shown(path), "folder" if found[parts].kind == stat.S_IFDIR else "file", what))
    readme = found.get(("setup.txt",))
    if readme and readme.data and len(readme.data) > README_SHOWN:
        warnings.append("%s: %d bytes; setup shows only the first %d"
                        % (shown(os.path.join(payload, "setup.txt")), len(readme.data),
                           README_SHOWN))
    placeholder_bytes = [read_bytes(p) for p in placeholders]
    for name in DRIVERS:
        path = os.path.join(payload, "system", name)
        driver = found.get(("system", name))
        if not driver or driver.kind != stat.S_IFREG:
            continue  # reported above
        if name.endswith(".sys"):
            problem = sys_problem(driver.data)
        elif driver.data in placeholder_bytes:
            warnings.append("%s: the demonstration placeholder, not a VxD; Windows 95/98 refuse "
                            "to load it and setup ends with its failure message there"
                            % shown(path))
            problem = None
        else:
            problem = vxd_problem(driver.data)
        if problem:
            errors.append("%s: %s" % (shown(path), problem))
    return errors, warnings, entries


def inside(path, folder):
    """Whether path is folder or lies below it (both real paths)."""
    return path == folder or path.startswith(folder.rstrip(os.sep) + os.sep)


def source_date_epoch(source_dir):
    """SOURCE_DATE_EPOCH, else the time of the source tree's last commit (held to the times a zip
    entry can hold), else 1980-01-01."""
    value = os.environ.get("SOURCE_DATE_EPOCH")
    if value:
        if not re.fullmatch("[0-9]+", value) or not ZIP_EARLIEST <= int(value) <= ZIP_LATEST:
            raise Refused("SOURCE_DATE_EPOCH: '%s' is not a whole number of seconds from %d "
                          "(1980-01-01) to %d (2107-12-31 23:59:59 UTC), the times a zip entry "
                          "can hold" % (shown(value), ZIP_EARLIEST, ZIP_LATEST))
        return int(value)
    try:
        out = subprocess.run(["git", "-C", source_dir, "log", "-1", "--format=%ct"],
                             capture_output=True, text=True, check=True).stdout.strip()
        return min(max(int(out), ZIP_EARLIEST), ZIP_LATEST)
    except (OSError, subprocess.CalledProcessError, ValueError):
        return ZIP_EARLIEST


def pe_headers(image):
    """(offset of the PE signature, offset of the section table, its section headers) of a 32-bit
    PE image with at least one section and power-of-two alignments; refuses anything else."""
    pe = struct.unpack_from("<I", image, 0x3C)[0] if image[:2] == b"MZ" and len(image) > 0x40 else 0
    opt = pe + 24
    if not pe or opt + 68 > len(image) or image[pe:pe + 4] != b"PE\0\0" or \
            struct.unpack_from("<H", image, opt)[0] != PE32_MAGIC:
        raise Refused("not a 32-bit PE image")
    count, optional_size = struct.unpack_from("<2xH12xH", image, pe + 4)
    table = opt + optional_size
    alignments = struct.unpack_from("<II", image, opt + 32)
    if not count or table + SECTION_HEADER.size * count > len(image) or \
            any(not a or a & (a - 1) for a in alignments):
        raise Refused("not a 32-bit PE image with sections")
    return pe, table, [SECTION_HEADER.unpack_from(image, table + SECTION_HEADER.size * i)
                       for i in range(count)]


def pe_checksum(image):
    """The PE checksum of image, whose checksum field holds 0: its 16-bit words added up with each
    carry folded back in, plus its length."""
    total = sum(struct.unpack_from("<%dH" % (len(image) // 2), image)) + \
        (image[-1] if len(image) % 2 else 0)
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(image)


def package_record(files):
    """The record of the package that setup.exe carries: "TPK1", the number of entries, then for
    every file but setup.exe, sorted by its path's bytes: its size, SHA-256 and path ("\\" between
    names) with a NUL. The path rule keeps every path below 224 characters."""
    paths = sorted(("\\".join(parts).encode("ascii"), data) for parts, data in files.items()
                   if parts != (PROGRAMS[0],))
    return RECORD_MAGIC + struct.pack("<I", len(paths)) + b"".join(
        RECORD_ENTRY.pack(len(data), hashlib.sha256(data).digest()) + path + b"\0"
        for path, data in paths)


def add_record_section(image, record):
    """image, the build's setup.exe, with a new last section .talpkg holding record: its header
    in the room behind the section table, its data after the last section's, the image's size
    and checksum updated."""
    pe, table, sections = pe_headers(image)
    opt = pe + 24
    if any(section[0] == SECTION_RECORD for section in sections):
        raise Refused("has a .talpkg section already; the package step takes setup.exe as the "
                      "build made it")
    section_alignment, file_alignment = struct.unpack_from("<II", image, opt + 32)
    (headers_end,) = struct.unpack_from("<I", image, opt + 60)
    raw = [(offset, size) for _, _, _, size, offset, *_ in sections if size]
    data_end = max((offset + size for offset, size in raw), default=headers_end)
    if len(image) != data_end:
        raise Refused("%d bytes, where its sections end at %d; the package step takes setup.exe "
                      "as the build made it, unsigned and with nothing appended"
                      % (len(image), data_end))
    at = table + SECTION_HEADER.size * len(sections)
    room_end = min([headers_end] + [offset for offset, _ in raw])
    if at + SECTION_HEADER.size > room_end or any(image[at:at + SECTION_HEADER.size]):
        raise Refused("no room for another section header behind its section table")

    def align(value, alignment):
        return -(-value // alignment) * alignment

    address = align(max(va + (vsize or size) for _, vsize, va, size, *_ in sections),
                    section_alignment)
    offset = align(data_end, file_alignment)
    raw_size = align(len(record), file_alignment)
    out = bytearray(image) + bytes(offset - data_end) + record + bytes(raw_size - len(record))
    SECTION_HEADER.pack_into(out, at, SECTION_RECORD, len(record), address, raw_size, offset, 0,
                             0, 0, 0, RECORD_CHARACTERISTICS)
    struct.pack_into("<H", out, pe + 6, len(sections) + 1)
    (initialized,) = struct.unpack_from("<I", image, opt + 8)
    struct.pack_into("<I", out, opt + 8, initialized + raw_size)
    struct.pack_into("<I", out, opt + 56, align(address + len(record), section_alignment))
    if struct.unpack_from("<I", image, opt + 64)[0]:
        struct.pack_into("<I", out, opt + 64, 0)
        struct.pack_into("<I", out, opt + 64, pe_checksum(out))
    return bytes(out)


def read_record(image):
    """The entries of the record in setup.exe, as [(path, size, SHA-256 in hex)]."""
    _, _, sections = pe_headers(image)
    size, offset = next((s[1], s[4]) for s in sections if s[0] == SECTION_RECORD)
    record = image[offset:offset + size]
    if record[:4] != RECORD_MAGIC:
        raise ValueError("no record in the .talpkg section")
    entries, at = [], 8
    for _ in range(struct.unpack_from("<I", record, 4)[0]):
        size, digest = RECORD_ENTRY.unpack_from(record, at)
        end = record.index(b"\0", at + RECORD_ENTRY.size)
        entries.append((record[at + RECORD_ENTRY.size:end].decode("ascii"), size, digest.hex()))
        at = end + 1
    if at != len(record):
        raise ValueError("%d bytes after the record's last entry" % (len(record) - at))
    return entries


def remove(path, quietly=False):
    """Removes what lies at path: a folder with its contents, a file, or a link (not what it
    points at); nothing there is fine. Quietly, what cannot be removed is left."""
    try:
        if stat.S_ISDIR(os.lstat(path).st_mode):
            shutil.rmtree(path)
        else:
            os.unlink(path)
    except FileNotFoundError:
        pass
    except OSError:
        if not quietly:
            raise


def write_file(path, data):
    with open(path, "xb") as f:
        f.write(data)
    return data


def archive_bytes(folders, files, epoch):
    """talven-package.zip: every folder and file in sorted order, with fixed attributes."""
    stamp = time.gmtime(epoch)[:6]
    entries = [((), None)] + [(parts, None) for parts in folders] + list(files.items())
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as z:
        for name, data in sorted(("/".join((PACKAGE,) + parts), data) for parts, data in entries):
            info = zipfile.ZipInfo(name + "/" if data is None else name, stamp)
            info.create_system = 3
            if data is None:
                info.external_attr = (0o40755 << 16) | 0x10
                z.writestr(info, b"")
            else:
                info.external_attr = 0o100644 << 16
                info.compress_type = zipfile.ZIP_DEFLATED
                z.writestr(info, data, compresslevel=9)
    return buffer.getvalue()


def make_package(args, entries, epoch, out):
    """Lays the package out in talven-package.new/ from the checked entries and the programs,
    then puts it, its archive and its checksums in place of the last ones."""
    folder, archive, sums = (os.path.join(out, name)
                             for name in (PACKAGE, PACKAGE + ".zip", "SHA256SUMS"))
    new, old = folder + ".new", folder + ".old"
    # A build ended between the two renames below left the last package as talven-package.old:
    # it goes back in place, where it stays until a new package is complete.
    if not os.path.lexists(folder) and os.path.lexists(old) and \
            stat.S_ISDIR(os.lstat(old).st_mode):
        os.rename(old, folder)
    for stale in (new, old):
        remove(stale)
    try:
        new_folder = os.path.join(new, PACKAGE)
        os.makedirs(new_folder)
        folders, files = [], {}
        for entry in entries:
            path = os.path.join(new_folder, *entry.parts)
            if entry.kind == stat.S_IFDIR:
                os.mkdir(path)
                folders.append(entry.parts)
            else:
                files[entry.parts] = write_file(path, entry.data)

        def place(name, source, data):
            path = os.path.join(new_folder, name)
            write_file(path, data)
            files[(name,)] = sign(args, path, source) if args.sign_cert else data

        # The record holds uninstall.exe's final bytes, and setup.exe is signed with the record.
        place(PROGRAMS[1], args.uninstall, read_bytes(args.uninstall))
        try:
            setup = add_record_section(read_bytes(args.setup), package_record(files))
        except Refused as problem:
            raise Refused("%s: %s" % (shown(args.setup), problem)) from None
        place(PROGRAMS[0], args.setup, setup)
        zipped = write_file(os.path.join(new, PACKAGE + ".zip"),
                            archive_bytes(folders, files, epoch))
        lines = ["%s  %s\n" % (hashlib.sha256(data).hexdigest(), name) for name, data in
                 sorted(("/".join((PACKAGE,) + parts), data) for parts, data in files.items())]
        lines.append("%s  %s\n" % (hashlib.sha256(zipped).hexdigest(), PACKAGE + ".zip"))
        with open(os.path.join(new, "SHA256SUMS"), "x") as f:
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
        remove(new, quietly=True)
        if os.path.lexists(folder):
            remove(old, quietly=True)
    return folder, archive, sums


def sign(args, exe, source):
    """Signs exe in place with Authenticode (SHA-256) and returns its signed bytes."""
    signed = exe + ".signed"
    done = subprocess.run([args.osslsigncode, "sign", "-certs", args.sign_cert, "-key",
                           args.sign_key, "-h", "sha256", "-in", exe, "-out", signed],
                          stdout=subprocess.DEVNULL)
    if done.returncode:
        raise Refused("%s: osslsigncode could not sign it (exit status %d), with the certificate "
                      "%s and the key %s" % (shown(source), done.returncode,
                                             shown(args.sign_cert), shown(args.sign_key)))
    os.replace(signed, exe)
    return read_bytes(exe)


def main(argv=None):
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
    args = ap.parse_args(argv)

    payload, out = args.payload, os.path.realpath(args.out)
    try:
        errors, warnings, entries = check_payload(payload, args.placeholder)
        try:
            epoch = source_date_epoch(args.source_dir)
        except Refused as problem:
            errors.append(str(problem))
        # A package made inside its own payload would be part of the next one; a payload inside
        # the output folder could be replaced by what is made from it.
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
            print("error: no package made from %s: %d problem(s)" % (shown(payload), len(errors)),
                  file=sys.stderr)
            return 1
        folder, archive, sums = make_package(args, entries, epoch, out)
    except Refused as problem:
        print("error: %s" % problem, file=sys.stderr)
        return 1
    except OSError as error:
        print("error: %s: %s" % (shown(out if error.filename is None else error.filename),
                                 error.strerror or error), file=sys.stderr)
        return 1

    print("package folder: %s%s" % (folder, " (programs signed)" if args.sign_cert else ""))
    print("archive:        %s" % archive)
    print("checksums:      %s" % sums)
    return 0


if __name__ == "__main__":
    sys.exit(main())
