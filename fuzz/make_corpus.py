#!/usr/bin/env python3
"""Writes the seed inputs of fuzz/corpus/<target>/: the cases the programs meet and the edges of
their buffers, in each target's input layout (leading choice bytes, then NUL-separated fields).
Rerun after changing a layout; the fuzzers find the rest from these."""
import pathlib

HERE = pathlib.Path(__file__).resolve().parent
NUL = b"\0"


def fields(*parts):
    return NUL.join(p if isinstance(p, bytes) else p.encode("latin-1") for p in parts)


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
    "fuzz_restart_delete": {
        # choice (1: Windows 95/98, else NT; 2: repeat what is pending; 4: schedule the delete
        # first; 8: an NT value of type REG_BINARY; 16: the NT value's bytes each widened to a
        # UTF-16 character), repeat count (2 bytes), the driver path, its short form (empty: the
        # file is missing), then what is pending: the lines of WININIT.INI's [rename] section (9x)
        # or the raw bytes of the pending-rename value (NT)
        "nt": bytes([4, 0, 0]) + fields("C:\\WINDOWS\\system32\\drivers\\windrvr.sys", "C:\\WINDOWS\\system32\\drivers\\windrvr.sys"),
        "nt_among_others": bytes([16, 0, 0]) + fields("C:\\WINDOWS\\system32\\drivers\\windrvr.sys", "C:\\WINDOWS\\system32\\drivers\\windrvr.sys", "")
            + fields("\\??\\C:\\A.TMP", "", "\\??\\c:\\windows\\SYSTEM32\\drivers\\windrvr.sys", "", "\\??\\C:\\WINDOWS\\system32\\drivers\\talvenkp.sys", "!\\??\\C:\\NEW.SYS", "", ""),
        "nt_odd_unterminated": bytes([16, 0, 0]) + fields("C:\\WINDOWS\\system32\\drivers\\windrvr.sys", "C:\\WINDOWS\\system32\\drivers\\windrvr.sys", "")
            + fields("\\??\\C:\\A.TMP", "", "\\??\\C:\\WINDOWS\\system32\\drivers\\windrvr.sys"),
        "nt_binary": bytes([8, 0, 0]) + fields("C:\\x.sys", "C:\\x.sys", "") + fields("\\??\\C:\\x.sys", "", ""),
        "nt_huge": bytes([2 | 16, 0x01, 0xFF]) + fields("C:\\x.sys", "C:\\x.sys", "") + fields("\\??\\C:\\y.sys", "", "\\??\\C:\\x.sys", "", ""),
        "nt_wide": bytes([0, 0, 0]) + fields("C:\\x.sys", "C:\\x.sys", "") + "".join(name + "\0" for name in [
            "\\??\\C:\\temp\\\u0444\u0430\u0439\u043b.new", "!\\??\\C:\\temp\\\uff3c.dll",
            "C:\\X.SYS", "", "\\??\\C:\\y.sys", "!\\??\\c:\\x.sys", ""]).encode("utf-16-le"),
        "win98_empty": bytes([1 | 4, 0, 0]) + fields("C:\\WINDOWS\\system32\\drivers\\windrvr.sys", "C:\\WINDOWS\\SYSTEM32\\DRIVERS\\WINDRVR.SYS"),
        "win98_lines": bytes([1 | 4, 0, 0]) + fields("C:\\WINDOWS\\system\\vmm32\\talvenkp.vxd", "C:\\WINDOWS\\SYSTEM\\VMM32\\TALVENKP.VXD", "NUL=C:\\OLD.TXT", "C:\\NEW.TXT=C:\\TMP.TXT"),
        "win98_withdraw": bytes([1, 0, 0]) + fields("C:\\WINDOWS\\system\\vmm32\\windrvr.vxd", "C:\\WINDOW~1\\SYSTEM\\VMM32\\WINDRVR.VXD", "NUL=C:\\OLD.TXT", "nul = c:\\window~1\\system\\vmm32\\windrvr.vxd", "NUL=C:\\WINDOWS\\system\\vmm32\\windrvr.vxd", "C:\\WINDOWS\\system\\vmm32\\windrvr.vxd=C:\\X.VXD"),
        "win98_full_section": bytes([3 | 4, 0xFF, 0x0F]) + fields("C:\\WINDOWS\\system\\vmm32\\windrvr.vxd", "C:\\WINDOWS\\SYSTEM\\VMM32\\WINDRVR.VXD", "NUL=C:\\PROGRA~1\\SOMEAPP\\OLDFILE.DLL"),
        "win98_near_full": bytes([3 | 4, 0xF8, 0x02]) + fields("C:\\x.vxd", "C:\\X.VXD", "NUL=C:\\0123456789012345678901234567890.TXT"),
        "no_short_path": bytes([1 | 4, 0, 0]) + fields("C:\\x", ""),
    },
}


def main():
    for target, seeds in SEEDS.items():
        folder = HERE / "corpus" / target
        folder.mkdir(parents=True, exist_ok=True)
        for name, data in seeds.items():
            (folder / name).write_bytes(data)


if __name__ == "__main__":
    main()
