#!/usr/bin/env python3
"""Checks that Win32 programs load and run on the oldest Windows versions they are built for.

For each executable given:
  - every function imported through the PE import table (and any delay-load import) must be
    named in the allowed list, an entry per DLL and function that Windows 95 and NT 4.0 both
    export; imports by ordinal are refused, because ordinals differ between Windows versions;
  - every imported DLL must be one that both systems ship (the DLLs of the allowed list), and so
    must every DLL name the program holds as text (a DLL it loads at run time), or be listed as
    one that both systems ship for loading at run time;
  - the optional header asks for operating-system and subsystem version 4.0 (newer values make
    Windows 95 and NT 4.0 refuse the program), the machine is i386 and the subsystem is Windows GUI;
  - the entry point lies in the code; the image base is 0x400000, where every target loads a
    program, so that the image needs and has no relocation section; the image is Terminal Server
    aware (else a Windows 2000/2003 terminal server in application mode gives GetWindowsDirectoryA
    a per-user folder); it carries no unwind tables (.eh_frame), which nothing reads in programs
    built without exceptions;
  - the code contains no instruction that a Pentium (i586) lacks: cmov/fcmov/fcomi (Pentium Pro),
    MMX, SSE and later, found by disassembly with the MinGW objdump;
  - the check has seen the program: at least one import and MIN_INSTRUCTIONS disassembled
    instructions, so that a parser or disassembler that finds nothing fails instead of passing.

Usage: check_pe.py --allowed LIST [--objdump PROGRAM] EXE...
Prints every import with its verdict, then one line per problem; exits 1 when there is any.
"""
import argparse
import re
import struct
import subprocess
import sys

IMAGE_FILE_MACHINE_I386 = 0x14C
PE32_MAGIC = 0x10B
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2
IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE = 0x8000
PROGRAM_BASE = 0x400000
DIRECTORY_IMPORT = 1
DIRECTORY_BASE_RELOCATION = 5
DIRECTORY_DELAY_IMPORT = 13


class PeImage:
    """The parts of a 32-bit PE image this check reads: headers, sections, imports."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = data = f.read()
        if len(data) < 0x40 or data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = self.u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        coff = pe + 4
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from(
            "<HHIIIHH", data, coff)
        opt = coff + 20
        if self.u16(opt) != PE32_MAGIC:
            raise ValueError("not a PE32 image (optional header magic 0x%x)" % self.u16(opt))
        self.entry = self.u32(opt + 16)
        self.image_base = self.u32(opt + 28)
        self.os_version = (self.u16(opt + 40), self.u16(opt + 42))
        self.subsystem_version = (self.u16(opt + 48), self.u16(opt + 50))
        self.subsystem = self.u16(opt + 68)
        self.dll_characteristics = self.u16(opt + 70)
        self.directories = [struct.unpack_from("<II", data, opt + 96 + 8 * i)
                            for i in range(min(self.u32(opt + 92), 16))]
        # (virtual size, virtual address, raw size, raw offset) of each section, and its name
        table = opt + optional_size
        self.sections = [struct.unpack_from("<8xIIII", data, table + 40 * i)
                         for i in range(sections)]
        self.section_names = [data[table + 40 * i:table + 40 * i + 8].rstrip(b"\0")
                              .decode("latin-1") for i in range(sections)]

    def section_at(self, rva):
        for name, (vsize, vaddr, _, _) in zip(self.section_names, self.sections):
            if vaddr <= rva < vaddr + vsize:
                return name
        return "no section"

    def directory_size(self, directory):
        return self.directories[directory][1] if len(self.directories) > directory else 0

    def u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def offset_of(self, rva):
        for vsize, vaddr, rawsize, rawptr in self.sections:
            if vaddr <= rva < vaddr + max(vsize, rawsize):
                if rva - vaddr >= rawsize:
                    raise ValueError("RVA 0x%x lies in uninitialised data" % rva)
                return rawptr + rva - vaddr
        raise ValueError("RVA 0x%x lies in no section" % rva)

    def cstring(self, rva):
        start = self.offset_of(rva)
        end = self.data.index(b"\0", start)
        return self.data[start:end].decode("latin-1")

    def thunk_names(self, table_rva):
        """Names (or '#ordinal') of one DLL's import lookup table; a name follows a 2-byte hint."""
        names, offset = [], self.offset_of(table_rva)
        while self.u32(offset):
            entry = self.u32(offset)
            by_ordinal = entry & 0x80000000
            names.append("#%d" % (entry & 0xFFFF) if by_ordinal else self.cstring(entry + 2))
            offset += 4
        return names

    def descriptors(self, directory, layout, is_last):
        """The entries of an import or delay-load descriptor table, up to the empty one."""
        rva = self.directories[directory][0] if len(self.directories) > directory else 0
        offset = self.offset_of(rva) if rva else None
        while offset is not None:
            fields = struct.unpack_from(layout, self.data, offset)
            if is_last(fields):
                return
            yield fields
            offset += struct.calcsize(layout)

    def imports(self):
        """[(dll, function, how)] of the import table and the delay-load table."""
        result = []
        for lookup, _, _, name_rva, address in self.descriptors(
                DIRECTORY_IMPORT, "<5I", lambda f: f[3] == 0 and f[4] == 0):
            dll = self.cstring(name_rva)
            result += [(dll, name, "import") for name in self.thunk_names(lookup or address)]
        for fields in self.descriptors(DIRECTORY_DELAY_IMPORT, "<8I", lambda f: f[1] == 0):
            attributes, name_rva, _, _, names_rva = fields[:5]
            if not attributes & 1:  # not an RVA-based descriptor
                result.append(("?", "?", "old-style delay-load descriptor"))
                continue
            dll = self.cstring(name_rva)
            result += [(dll, name, "delay-load") for name in self.thunk_names(names_rva)]
        return result


def read_allowed(path):
    """The allowed list: ({(dll lower-case, function): family}, {(dll, function): why refused},
    {dll loaded at run time}).

    A line "DLL function family (header)" allows a function; a line "! DLL function reason" names
    one that looks harmless but one of the two systems lacks, so that a failure says why; a line
    "@ DLL what it is" allows a DLL that the programs only load at run time.
    """
    allowed, refused, loaded = {}, {}, set()
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            table = allowed
            if line.startswith("@"):
                loaded.add(line[1:].split()[0].lower())
                continue
            if line.startswith("!"):
                table, line = refused, line[1:].strip()
            parts = line.split(None, 2)
            if len(parts) < 3:
                raise SystemExit("%s:%d: want 'DLL function family (header)'" % (path, number))
            key = (parts[0].lower(), parts[1])
            if key in allowed or key in refused:
                raise SystemExit("%s:%d: %s %s listed twice" % (path, number, parts[0], parts[1]))
            table[key] = parts[2]
    return allowed, refused, loaded


DLL_NAME = re.compile(rb"[A-Za-z0-9_]+\.dll", re.IGNORECASE)
# Instructions a Pentium (i586, no MMX) does not have. Matched against objdump's AT&T mnemonics.
LATE_MNEMONIC = re.compile(
    r"^(cmov\w+|fcmov\w+|f(u)?comip?|sysenter|sysexit|fxsave|fxrstor|emms|movnti|"
    r"[lms]fence|clflush|prefetch\w*|ldmxcsr|stmxcsr|pause|popcnt|lzcnt|tzcnt|movbe|"
    r"crc32|endbr32)$")
LATE_REGISTER = re.compile(r"%(x|y|z)mm\d|%mm\d")
# Far fewer than either program has (some thousands): only a listing that missed the code is below.
MIN_INSTRUCTIONS = 500


def late_instructions(objdump, path):
    """(count of instructions, [(address, text)] of the late ones) found by disassembly."""
    listing = subprocess.run([objdump, "-d", "--no-show-raw-insn", path], check=True,
                             capture_output=True, text=True).stdout
    found, count = [], 0
    for line in listing.splitlines():
        m = re.match(r"^\s*([0-9a-f]+):\s+(\S+)\s*(.*)$", line)
        if not m:
            continue
        count += 1
        mnemonic, operands = m.group(2), m.group(3)
        if mnemonic in ("rep", "repz", "repnz", "lock") and operands:
            mnemonic, _, operands = operands.partition(" ")
        if LATE_MNEMONIC.match(mnemonic) or LATE_REGISTER.search(operands):
            found.append((m.group(1), (mnemonic + " " + operands).strip()))
    return count, found


def check(path, allowed, refused, loaded, allowed_dlls, objdump):
    image = PeImage(path)
    headers = [("machine 0x%x is not i386", image.machine, IMAGE_FILE_MACHINE_I386),
               ("operating-system version %d.%d, want 4.0", image.os_version, (4, 0)),
               ("subsystem version %d.%d, want 4.0", image.subsystem_version, (4, 0)),
               ("subsystem %d is not the Windows GUI (2)", image.subsystem,
                IMAGE_SUBSYSTEM_WINDOWS_GUI),
               ("entry point in %s, want .text", image.section_at(image.entry), ".text"),
               ("image base 0x%x, want 0x400000", image.image_base, PROGRAM_BASE),
               ("relocation directory of %d bytes, want none", image.directory_size(
                   DIRECTORY_BASE_RELOCATION), 0),
               ("Terminal Server aware flag 0x%x, want 0x8000", image.dll_characteristics &
                IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE,
                IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE),
               ("%d unwind table section(s) (.eh_frame), want none",
                sum(name.startswith(".eh_fram") for name in image.section_names), 0)]
    problems = [message % seen for message, seen, wanted in headers if seen != wanted]

    print("%s: os %d.%d, subsystem %d %d.%d" % ((path,) + image.os_version + (image.subsystem,) +
                                                 image.subsystem_version))
    imports = image.imports()
    if not imports:
        problems.append("no imports found: the import table was not read")
    for dll, function, how in imports:
        entry = allowed.get((dll.lower(), function))
        if how != "import":
            problems.append("%s %s: %s (Windows 95 and NT 4.0 load delay-load imports only "
                            "through helper code; import it normally)" % (dll, function, how))
        elif function.startswith("#"):
            problems.append("%s %s: imported by ordinal, which differs between Windows versions"
                            % (dll, function))
        elif dll.lower() not in allowed_dlls:
            problems.append("%s %s: %s is not among the allowed list's DLLs (those Windows 95 "
                            "and NT 4.0 both ship)" % (dll, function, dll))
        elif (dll.lower(), function) in refused:
            problems.append("%s %s: %s" % (dll, function, refused[(dll.lower(), function)]))
        elif entry is None:
            problems.append("%s %s: not in the allowed list (not known to be exported by both "
                            "Windows 95 and NT 4.0)" % (dll, function))
        print("  %-13s %-32s %s" % (dll, function, entry or "NOT ALLOWED"))

    # The package record (section .talpkg) names the package's files, which setup only reads.
    data = bytearray(image.data)
    for name, (_, _, rawsize, rawptr) in zip(image.section_names, image.sections):
        if name == ".talpkg":
            data[rawptr:rawptr + rawsize] = bytes(rawsize)
    for name in sorted({m.group(0).decode("latin-1") for m in DLL_NAME.finditer(data)}):
        if name.lower() not in allowed_dlls and name.lower() not in loaded:
            problems.append("names %s, a DLL the allowed list neither imports from nor lists as "
                            "loaded at run time" % name)

    count, late = late_instructions(objdump, path)
    if count < MIN_INSTRUCTIONS:
        problems.append("only %d instructions disassembled, want at least %d: the code was not "
                        "read" % (count, MIN_INSTRUCTIONS))
    for address, text in late[:20]:
        problems.append("instruction a Pentium (i586) lacks at 0x%s: %s" % (address, text))
    if len(late) > 20:
        problems.append("... and %d more such instructions" % (len(late) - 20))
    return ["%s: %s" % (path, p) for p in problems]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--allowed", required=True)
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    parser.add_argument("executables", nargs="+")
    args = parser.parse_args()

    allowed, refused, loaded = read_allowed(args.allowed)
    allowed_dlls = {dll for dll, _ in allowed}
    problems = []
    for path in args.executables:
        try:
            problems += check(path, allowed, refused, loaded, allowed_dlls, args.objdump)
        except (OSError, struct.error, ValueError) as error:
            problems.append("%s: cannot read: %s" % (path, error))
    for problem in problems:
        print("FAIL " + problem)
    if not problems:
        print("ok: %d program(s) import only what Windows 95 and NT 4.0 export" %
              len(args.executables))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
