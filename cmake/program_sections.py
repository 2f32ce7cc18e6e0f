#!/usr/bin/env python3
"""Writes the linker script of setup.exe and uninstall.exe: the linker's own default script for
32-bit Windows programs, with the read-only data (.rdata) moved into the code section (.text), as
MSVC's /MERGE:.rdata=.text does. Each section of an image is padded to the file alignment of 512
bytes; one section less is one pad less.

  program_sections.py LD OUTPUT
"""
import re
import subprocess
import sys


def main():
    ld, output = sys.argv[1:]
    verbose = subprocess.run([ld, "--verbose"], capture_output=True, text=True, check=True).stdout
    script = re.search(r"\n=+\n(.*)\n=+\n", verbose, re.S)
    rdata = re.compile(r"\n\s*\*\(\.rdata\)\n\s*\*\(SORT\(\.rdata\$\*\)\)")
    code_end = re.compile(r"(\n\s*KEEP \(\*\(\.gcc_except_table\)\))")
    if not script or len(rdata.findall(script.group(1))) != 1 or \
            len(code_end.findall(script.group(1))) != 1:
        sys.exit("error: %s: its default script does not have the expected .text and .rdata" % ld)
    text = rdata.sub("", script.group(1))
    text = code_end.sub(r"\1\n    *(.rdata)\n    *(SORT(.rdata$*))", text)
    with open(output, "w") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
