#!/usr/bin/env python3
"""Writes the seed inputs of fuzz/corpus/<target>/: the cases the programs meet and the edges of
their buffers, in each target's input layout (leading choice bytes, then NUL-separated fields).
Rerun after changing a layout; the fuzzers find the rest from these."""
import pathlib

HERE = pathlib.Path(__file__).resolve().parent
NUL = b"\0"


def fields(*parts):
    return NUL.join(p if isinstance(p, bytes) else p.encode("latin-1") for p in parts)


# fuzz_restart_delete: choice (1: Windows 95/98, else NT; 2: repeat the entries; 4: schedule the
# delete of windrvr first; 8: NT, another program adds its pair after the first read; high nibble,
# NT: the value's shape: 0 whole, 1 no list end, 2 odd byte count, 3 no final NUL, 4 a source
# without its target, 5 REG_BINARY, 6 a byte before it, 7 over the size limit (2 MB and a unit),
# 8 no value), repeat count (2 bytes, low first), the drive (A + byte % 26), the driver folder,
# its 8.3 form (empty: the files are missing), then the entries, each a kind byte and its parts.
# A form byte: bit 0 talvenkp, bit 1 the 8.3 form, bits 2-3 the prefix (none, \??\, \DosDevices\,
# \GLOBAL??\), bit 4 "::$DATA"; a case mask flips a letter where bit (position % 8) is set.
def terminated(*parts):
    return b"".join((p if isinstance(p, bytes) else p.encode("latin-1")) + NUL for p in parts)


def restart_head(choice, folder, short, repeat=0, drive=2):
    return bytes([choice, repeat & 0xFF, repeat >> 8, drive]) + terminated(folder, short)


# NT entries: another program's pair (0x80: its names as UTF-16 units), our delete, another file
# put in our place, ours moved away (8: the target behind "!"), our file name in another folder
# (without a target), a name that may be ours as a source or as a target behind "!".
def their_pair(source, target, units=False):
    return bytes([0x80 if units else 0]) + terminated(source, target)


def our_delete(form, mask=0):
    return bytes([1, form, mask])


def into_ours(source, form, mask=0, bang=False):
    return bytes([2 | (8 if bang else 0)]) + terminated(source) + bytes([form, mask])


def ours_moved(form, mask, target, bang=False):
    return bytes([3 | (8 if bang else 0), form, mask]) + terminated(target)


def other_folder(form, folder, target=None):
    tail = terminated(target) if target is not None else b""
    return bytes([4 | (8 if target is None else 0), form]) + terminated(folder) + tail


def maybe_ours(form, target_of=None):
    if target_of is None:
        return bytes([5, form])
    return bytes([13]) + terminated(target_of) + bytes([form])


# Windows 95/98 lines: another program's line, a line of ours (4: ours is the key, with 16:
# "NUL=ours"; else ours moved away; 8: blanks around ours), our file name in another folder.
def their_line(text):
    return bytes([0]) + terminated(text)


def our_line(bits, form, mask, other):
    return bytes([1 | bits, form, mask]) + terminated(other)


def other_folder_line(form, folder):
    return bytes([2, form]) + terminated(folder)


NT_DRIVERS = ("WINDOWS\\system32\\drivers", "WINDOW~1\\SYSTEM32\\DRIVERS")
VXD_DRIVERS = ("WINDOWS\\SYSTEM\\VMM32", "WINDOWS\\SYSTEM\\VMM32")
RESTART_DELETE_SEEDS = {
    "nt_every_form": restart_head(0, *NT_DRIVERS) + their_pair("\\??\\C:\\A.TMP", "")
        + our_delete(0b00101, 0xFF) + our_delete(0b01010, 0x0F) + our_delete(0b11111, 0x55)
        + into_ours("\\??\\C:\\OLD.SYS", 0b00100) + into_ours("C:\\OLD.SYS", 0b01001, 0, True)
        + ours_moved(0b00110, 0x81, "\\??\\C:\\SAVED.SYS") + other_folder(0, "system", "")
        + maybe_ours(2) + maybe_ours(20, "\\??\\C:\\NEW.SYS")
        + their_pair("\u0444\u0430\u0439\u043b\uff3c\u2126".encode("utf-16-le"), "x", True),
    "nt_schedule": restart_head(4, *NT_DRIVERS) + their_pair("\\??\\C:\\A.TMP", ""),
    "nt_schedule_no_value": restart_head(4 | 0x80, *NT_DRIVERS),
    "nt_race": restart_head(8, "WINNT\\system32\\drivers", "WINNT\\system32\\drivers")
        + their_pair("\\??\\C:\\A.TMP", "") + our_delete(0),
    "nt_race_no_list_end": restart_head(8 | 0x10, *NT_DRIVERS) + our_delete(1),
    "nt_odd_theirs": restart_head(0x20, "x", "x") + their_pair("\\??\\C:\\A.TMP", ""),
    "nt_odd_ours": restart_head(0x20, "x", "x") + our_delete(0),
    "nt_no_final_nul": restart_head(0x30, "x", "x") + their_pair("\\??\\C:\\A.TMP", ""),
    "nt_source_without_target": restart_head(0x40, "x", "x") + our_delete(1),
    "nt_binary": restart_head(0x50, "x", "x") + their_pair("\\??\\C:\\A.TMP", ""),
    "nt_byte_before": restart_head(0x60, "x", "x") + our_delete(0),
    "nt_over_limit": restart_head(0x70, "x", "x") + their_pair("\\??\\C:\\A.TMP", ""),
    "nt_repeated": restart_head(2, "x", "X", repeat=31) + our_delete(2) + their_pair("a", "b"),
    "nt_files_missing": restart_head(4, "\u00e9t\u00e9", "", drive=3) + our_delete(0),
    "nt_long_folder": restart_head(0, "d" * 245, "D") + our_delete(0),
    **{"nt_maybe_ours_%d" % form: restart_head(0, *NT_DRIVERS) + their_pair("\\??\\C:\\A.TMP", "")
       + our_delete(0) + maybe_ours(2 * form + form % 2) for form in range(11)},
    "win98_lines": restart_head(1, *VXD_DRIVERS) + their_line("NUL=C:\\OLD.TXT")
        + our_line(4 | 16 | 8, 0, 0, "") + our_line(4, 1, 0xF0, "C:\\NEW.VXD")
        + our_line(0, 3, 0, "C:\\SAVED.VXD") + other_folder_line(0, "vmm")
        + their_line("C:\\NEW.TXT=C:\\TMP.TXT"),
    "win98_schedule": restart_head(1 | 4, "Windows98\\SYSTEM\\VMM32", "WINDOW~1\\SYSTEM\\VMM32")
        + their_line("NUL=C:\\OTHER.TMP"),
    "win98_full_section": restart_head(1 | 2, *VXD_DRIVERS, repeat=0x0FFF)
        + their_line("NUL=C:\\PROGRA~1\\SOMEAPP\\OLDFILE.DLL"),
    "win98_full_section_ours": restart_head(1 | 2, *VXD_DRIVERS, repeat=0x0FFF)
        + their_line("NUL=C:\\PROGRA~1\\SOMEAPP\\OLDFILE.DLL") + our_line(4 | 16, 0, 0, ""),
    "win98_near_full": restart_head(1 | 2 | 4, "x", "X", repeat=0x02F8)
        + their_line("NUL=C:\\0123456789012345678901234567890.TXT"),
    "win98_files_missing": restart_head(1 | 4, "x", ""),
}


SEEDS = {
    "fuzz_bounded_text": {
        # capacity (2 bytes, low first), then four parts, then a format of the first three (none:
        # the programs' path format "%s\\%s%s")
        "registrar_name": bytes([0xE8, 0x03]) + fields("WinDriver", " already exists in Win-95 registry\n", "", ""),
        "exact_fit": bytes([5, 0]) + fields("ab", "cd", "", ""),
        "one_over": bytes([4, 0]) + fields("ab", "cd", "", ""),
        "capacity_zero": bytes([0, 0]) + fields("x", "", "", ""),
        "long_part": bytes([0x00, 0x04]) + fields("p" * 1100, "q" * 1100, "r", "s"),
        "format_driver_path": bytes([0x00, 0x04]) + fields("C:\\WINDOWS\\system32\\drivers", "windrvr", ".sys", ""),
        "format_exact_fit": bytes([8, 0]) + fields("abc", "d", "ef", ""),
        "format_one_over": bytes([7, 0]) + fields("abc", "d", "ef", ""),
        "format_capacity_one": bytes([1, 0]) + fields("x", "y", "z", ""),
        "format_percent_in_text": bytes([64, 0]) + fields("100%s", "%n%x", "%", "", "%s%%%s=%s"),
        "format_unknown_conversion": bytes([64, 0]) + fields("a", "b", "c", "", "NUL=%s %d"),
        "format_trailing_percent": bytes([64, 0]) + fields("a", "b", "c", "", "%s%"),
        "format_note": bytes([0xFF, 0x00]) + fields("C:\\WINDOWS\\system\\vmm32", "", "", "", "copy to the %s directory"),
    },
    "fuzz_strip_to_directory": {
        "setup_exe": b"C:\\DIST\\SETUP.EXE",
        "drive_root": b"D:\\SETUP.EXE",
        "unc": b"\\\\server\\share\\setup.exe",
        "no_backslash": b"setup.exe",
        "leading_only": b"\\setup.exe",
        "long": b"C:\\" + b"d\\" * 200 + b"setup.exe",
    },
    "fuzz_create_directory_path": {
        # setup byte (low 2 bits: existing entries; bits 2..4: entry i is a file; 0x40: current
        # directory D:\work), failure byte (0x80 arms the call index in bits 0..2 with an error
        # chosen by bits 3..6), the path, then the existing entries
        "nested": bytes([0, 0]) + fields("C:\\Program Files\\Orbanet\\TALVEN 5.7"),
        "trailing": bytes([0, 0]) + fields("C:\\a\\b\\"),
        "drive_root": bytes([0, 0]) + fields("C:\\"),
        "file_in_way": bytes([1 | 4, 0]) + fields("C:\\a\\b", "C:\\a"),
        "unc_share": bytes([0, 0]) + fields("\\\\server\\share\\dir"),
        "unc_server": bytes([0, 0]) + fields("\\\\server"),
        "relative": bytes([0x40, 0]) + fields("sub\\dir"),
        "access_denied": bytes([0, 0x80 | 1 | (2 << 3)]) + fields("C:\\x\\y"),
        "too_long": bytes([0, 0]) + fields("C:\\" + "n" * 257),
        "fits_exactly": bytes([0, 0]) + fields("C:\\" + "n" * 255),
    },
    "fuzz_driver_locations": {
        # choice (1: 32-bit major, 2: query fails, as a signed byte also a raw kind), platform,
        # major, minor, then the Windows directory
        "xp": bytes([0, 2, 5, 1]) + b"C:\\WINDOWS",
        "win2000": bytes([0, 2, 5, 0]) + b"C:\\WINNT",
        "win98": bytes([0, 1, 4, 10]) + b"C:\\WINDOWS",
        "win95": bytes([0, 1, 4, 0]) + b"C:\\WINDOWS",
        "nt351": bytes([0, 2, 3, 51]) + b"C:\\WINNT",
        "query_fails": bytes([2, 2, 5, 1]) + b"C:\\WINDOWS",
        "root_dir": bytes([0, 2, 4, 0]) + b"C:\\",
        "longest_that_fits": bytes([0, 2, 5, 1]) + b"C:\\" + b"w" * (1022 - 3 - 29),
        "one_too_long": bytes([0, 2, 5, 1]) + b"C:\\" + b"w" * (1022 - 2 - 29),
        "raw_kind_minus_one": bytes([0xFF, 1, 4, 0]) + b"C:\\WINDOWS",
    },
    "fuzz_registrar": {
        # choice (bits 0..1: 95, 98, NT 4.0, XP; 2: preferVxd; 3: registry-only; 4: no image
        # path; 5: no manager; 6: loader accepts every unload; 7: system dir ends in a
        # backslash), start type, name, file base name, image path, message text, then one byte
        # per step (mod 12: Install, Remove, Load, Unload, AddError, AddWarning, ClearMessages,
        # Configure, SetNames, fail a coming call, 40 warnings, toggle the loader)
        "setup_xp": bytes([3, 2]) + fields("WinDriver", "windrvr", "C:\\WINDOWS\\system32\\drivers\\windrvr.sys", "x") + NUL + bytes([3, 1, 0, 2]),
        "uninstall_xp": bytes([3, 2]) + fields("talvenkp", "talvenkp", "C:\\WINDOWS\\system32\\drivers\\talvenkp.sys", "x") + NUL + bytes([0, 2, 3, 1]),
        "setup_95": bytes([0 | 4, 2]) + fields("WinDriver", "windrvr", "C:\\WINDOWS\\system\\vmm32\\windrvr.vxd", "x") + NUL + bytes([3, 1, 0, 2, 3, 3]),
        "win98_sys": bytes([1 | 0x10, 2]) + fields("WinDriver", "windrvr", "", "y") + NUL + bytes([0, 0, 2, 3, 1, 1]),
        "registry_only": bytes([2 | 8 | 0x10, 2]) + fields("WinDriver", "windrvr", "", "z") + NUL + bytes([0, 0, 1, 1]),
        "no_manager": bytes([3 | 0x20, 2]) + fields("WinDriver", "windrvr", "C:\\w.sys", "t") + NUL + bytes([0, 1, 2, 3]),
        "backslash_name": bytes([1 | 4, 2]) + fields("..\\VxD", "windrvr", "C:\\w.vxd", "t") + NUL + bytes([0, 1]),
        "long_names": bytes([3, 2]) + fields("n" * 999, "f" * 999, "p" * 999, "t" * 300) + NUL + bytes([0, 1, 10, 10, 4, 5]),
        "too_long_names": bytes([0 | 4, 2]) + fields("n" * 1000, "f" * 1000, "p" * 1000, "t") + NUL + bytes([0, 1, 2, 3, 8]),
        "failures": bytes([3, 2]) + fields("WinDriver", "windrvr", "C:\\w.sys", "t") + NUL + bytes([9, 0, 9 | (1 << 3), 1, 9 | (2 << 3), 3, 9 | (3 << 3), 0]),
        "every_unload": bytes([0 | 4 | 0x40, 2]) + fields("WinDriver", "windrvr", "C:\\w.vxd", "t") + NUL + bytes([2, 3]),
    },
    "fuzz_readme_text": {
        # choice (1: the wizard's 100,000 characters, else a capacity byte follows; 2: repeat the
        # content to 99,990..100,009 bytes), then the content
        "crlf": bytes([1]) + b"TALVEN 5.7\r\nRead me first.\r\n",
        "nul_inside": bytes([1]) + b"before\0after",
        "empty": bytes([1]),
        "small_buffer": bytes([0, 7]) + b"0123456789",
        "at_the_limit": bytes([1 | 2, 9]) + b"line of the read-me\r\n",
    },
    "fuzz_package_record": {
        # damage (0 none, 1 a record byte flipped, 2 the record cut, 3 a file longer, 4 a file
        # gone, 5 a file more in system\), position, then path and content fields of the package
        "whole": bytes([0, 0]) + fields("setup.txt", "read me", "system\\windrvr.sys", "MZ w", "uninstall.exe", "MZ u"),
        "flipped": bytes([1, 9]) + fields("setup.txt", "read me", "system\\windrvr.sys", "MZ w"),
        "cut": bytes([2, 30]) + fields("setup.txt", "read me", "doc\\README.txt", "notes"),
        "longer": bytes([3, 1]) + fields("setup.txt", "read me", "lib\\talven.lib", "!<arch>"),
        "gone": bytes([4, 0]) + fields("include\\talven.h", "#define T", "setup.txt", "r"),
        "foreign": bytes([5, 0]) + fields("system\\talvenkp.sys", "MZ t", "setup.txt", ""),
    },
    "fuzz_restart_delete": RESTART_DELETE_SEEDS,
}


def main():
    for target, seeds in SEEDS.items():
        folder = HERE / "corpus" / target
        folder.mkdir(parents=True, exist_ok=True)
        for name, data in seeds.items():
            (folder / name).write_bytes(data)


if __name__ == "__main__":
    main()
