#!/usr/bin/env python3
"""The package step itself (package/make_package.py), run in this process on the Windows build's
programs and demonstration payload: the package and the record in its setup.exe, one payload per
rule the step refuses, bad input, entries swapped or unreadable while the step reads them, and a
setup.exe that cannot take the record.

  TALVEN_WIN32_BIN=<host build>/win32 python3 package_step_test.py
"""
import contextlib
import errno
import hashlib
import io
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile
from unittest import mock

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(SOURCE, "package"))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import make_package  # noqa: E402

WIN32 = os.environ["TALVEN_WIN32_BIN"]
SETUP = os.path.join(WIN32, "setup", "setup.exe")
UNINSTALL = os.path.join(WIN32, "uninstall", "uninstall.exe")
LONG = "0" * 220
# osslsigncode as the step calls it (sign -certs C -key K -h sha256 -in IN -out OUT): it signs by
# appending "signed", and fails for a key that says "junk".
FAKE_SIGNER = '#!/bin/sh\ngrep -q junk "$5" && exit 1\n{ cat "$9"; printf signed; } >"${11}"\n'


def write(path, data):
    with open(path, "wb" if isinstance(data, bytes) else "w") as f:
        f.write(data)


class PackageStepTest(unittest.TestCase):
    def setUp(self):
        self.work = self.enterContext(tempfile.TemporaryDirectory())
        self.payload, self.out, self.key, signer = (
            os.path.join(self.work, name) for name in ("payload", "out", "key", "osslsigncode"))
        self.package = os.path.join(self.out, "talven-package")
        shutil.copytree(os.path.join(WIN32, "demo-payload"), self.payload)
        self.enterContext(mock.patch.dict(os.environ,
                                          SOURCE_DATE_EPOCH=str(make_package.ZIP_LATEST)))
        write(self.key, "key")
        write(signer, FAKE_SIGNER)
        os.chmod(signer, 0o755)
        self.signed = ["--sign-cert", self.key, "--sign-key", self.key, "--osslsigncode", signer]

    def step(self, *extra, payload=None, setup=SETUP):
        """The step's exit status and what it wrote to stderr."""
        args = ["--payload", payload or self.payload, "--setup", setup, "--uninstall", UNINSTALL,
                "--out", self.out, *extra]
        for name in ("windrvr.vxd", "talvenkp.vxd"):
            args += ["--placeholder", os.path.join(SOURCE, "package", "system", name)]
        err = io.StringIO()
        with contextlib.redirect_stderr(err), contextlib.redirect_stdout(io.StringIO()):
            status = make_package.main(args)
        return status, err.getvalue()

    def expect_refused(self, text, *extra, **where):
        status, err = self.step(*extra, **where)
        self.assertEqual(status, 1, err)
        self.assertIn("error: " + text, err)

    def package_files(self):
        """{path with "\\" between names: bytes} of every file of the package folder."""
        return {os.path.relpath(os.path.join(root, name), self.package).replace("/", "\\"):
                make_package.read_bytes(os.path.join(root, name))
                for root, _, names in os.walk(self.package) for name in names}

    def expect_record(self):
        """The record in the package's setup.exe lists every other file of the package folder."""
        files = self.package_files()
        setup = files.pop("setup.exe")
        self.assertEqual(make_package.read_record(setup), sorted(
            ((path, len(data), hashlib.sha256(data).hexdigest()) for path, data in files.items()),
            key=lambda entry: entry[0].encode()))
        return setup, files

    def test_package_and_record(self):
        # Names at the edge of the rules pass: the characters allowed besides letters and digits,
        # a tilde that is no 8.3 form, and the longest installed path.
        for name in ("doc/Notes, v1.0 (draft) [a+b=c; d&e] #1 %x% ~x `!@$^_{}'.txt",
                     "doc/" + LONG[1:]):
            write(os.path.join(self.payload, name), "edge")
        self.assertEqual(self.step(), (0, ""))
        _, files = self.expect_record()
        for path, data in files.items():
            if path != "uninstall.exe":
                self.assertEqual(make_package.read_bytes(
                    os.path.join(self.payload, path.replace("\\", "/"))), data, path)
        # The checksum the record's section comes with is computed as the linker computes it.
        image = make_package.read_bytes(SETUP)
        field = make_package.pe_headers(image)[0] + 24 + 64
        self.assertEqual(make_package.pe_checksum(image[:field] + bytes(4) + image[field + 4:]),
                         int.from_bytes(image[field:field + 4], "little"))
        with zipfile.ZipFile(os.path.join(self.out, "talven-package.zip")) as z:
            self.assertEqual({i.date_time for i in z.infolist()}, {(2107, 12, 31, 23, 59, 58)})
            self.assertEqual({n.rstrip("/") for n in z.namelist()}, {"talven-package"} | {
                os.path.relpath(os.path.join(root, name), self.out)
                for root, folders, names in os.walk(self.package) for name in folders + names})

        # Signed, the record holds the signed uninstall.exe, and setup.exe is signed after it.
        self.assertEqual(self.step(*self.signed), (0, ""))
        setup, files = self.expect_record()
        self.assertTrue(setup.endswith(b"signed") and files["uninstall.exe"].endswith(b"signed"))

    def test_payload_refused(self):
        # (change made in a copy of the payload, the error it gives after "<copy>/")
        cases = [
            ("rm setup.txt", "setup.txt: missing"),
            ("cp %s system/talvenkp.sys" % SETUP,
             "system/talvenkp.sys: subsystem 2, not the native subsystem (1)"),
            ("mkdir System && echo junk >System/ntfs.sys",
             "System: the same name on Windows as system (names differ only in case)"),
            ("cp system/windrvr.sys system/x.sysfoo", "system/x.sysfoo: system/ holds the four "
             "driver files windrvr.sys, talvenkp.sys, windrvr.vxd, talvenkp.vxd and nothing else; "
             "setup's system\\*.sys copy would put this into"),
            ("cp system/windrvr.sys 'system/null.sys '",
             "system/null.sys : ends in a dot or a space"),
            ("touch doc/con.txt", "doc/con.txt: a device name on Windows"),
            ("touch \"doc/caf$(printf '\\351')\"", "doc/caf\\xe9: holds \\xe9; names hold"),
            ("touch doc/PROGRA~1.TXT", "doc/PROGRA~1.TXT: has the form of an 8.3 name"),
            ("touch doc/" + LONG, "doc/%s: installed as C:\\Program Files\\Orbanet\\TALVEN 5.7\\"
             "doc\\%s, 260 characters;" % (LONG, LONG)),
            ("ln -s ../../key doc/key", "doc/key: a symbolic link; only regular"),
            ("mkdir doc/a && ln -s /etc doc/a/up", "doc/a/up: a symbolic link"),
            ("echo secret >../secret && ln ../secret doc/notes.txt",
             "doc/notes.txt: a file with 2 links (hard links)"),
            ("mkfifo doc/pipe", "doc/pipe: a named pipe"),
            ("touch SETUP.EXE", "SETUP.EXE: names the package's own setup.exe on Windows"),
            # 2,100 folders deep, beyond Linux's PATH_MAX (4096): refused where Windows' limit lies.
            ("python3 -c 'import os\nfor _ in range(2100): os.mkdir(\"a\"); os.chdir(\"a\")'",
             "/".join(["a"] * 107) + ": installed as"),
        ]
        bad = os.path.join(self.work, "bad", "payload")
        for change, text in cases:
            with self.subTest(change):
                shutil.copytree(self.payload, bad)
                subprocess.run(["bash", "-c", change], cwd=bad, check=True)
                self.expect_refused(bad + "/" + text, payload=bad)
            subprocess.run(["rm", "-rf", os.path.dirname(bad)], check=True)  # deeper than rmtree

    def test_bad_input(self):
        for value in ("1e9", " 1", "315532799", "4354819200"):
            with self.subTest(value), mock.patch.dict(os.environ, SOURCE_DATE_EPOCH=value):
                self.expect_refused("SOURCE_DATE_EPOCH: '%s' is not a whole number" % value)
        self.expect_refused(self.payload + "/none: payload folder missing",
                            payload=self.payload + "/none")
        self.out = os.path.join(self.payload, "out")
        self.expect_refused(self.out + ": the output folder lies inside the payload")
        self.out = self.work
        self.expect_refused(self.payload + ": the payload lies inside the output folder")

        # A build that fails once the package is under way keeps the last package, also when the
        # last build ended between its two renames; stale work folders, files or links, go.
        self.out = os.path.dirname(self.package)
        self.assertEqual(self.step(), (0, ""))
        last = self.package_files()
        os.rename(self.package, self.package + ".old")
        write(self.package + ".new", "stale")
        write(self.key, "junk")
        self.expect_refused(UNINSTALL + ": osslsigncode could not sign it (exit status 1)",
                            *self.signed)
        self.assertEqual(self.package_files(), last)
        expected = ["SHA256SUMS", "talven-package", "talven-package.zip"]
        self.assertEqual(sorted(os.listdir(self.out)), expected)
        os.symlink(self.payload, self.package + ".old")
        os.symlink(self.payload, self.package + ".new")
        self.assertEqual(self.step(), (0, ""))
        self.assertEqual(sorted(os.listdir(self.out)), expected)
        self.assertTrue(os.path.exists(os.path.join(self.payload, "setup.txt")))

    def test_read_while_swapped(self):
        """Entries that cannot be opened, or are swapped just before or just after their open."""
        outside, doc = os.path.join(self.work, "outside"), os.path.join(self.payload, "doc")
        driver = os.path.join(self.payload, "system", "windrvr.sys")
        checked = make_package.read_bytes(driver)

        def denied():
            raise PermissionError(errno.EACCES, os.strerror(errno.EACCES))

        def rewrite():
            write(outside, "junk")
            os.rename(outside, driver)

        def fifo():
            os.unlink(doc + "/README.txt")
            os.mkfifo(doc + "/README.txt")

        def link():
            shutil.rmtree(doc)
            os.symlink(self.work, doc)

        # (names whose open is hooked, run before it, run after it, error after "<payload>/")
        cases = [(("README.txt", "lib"), denied, None,
                  "doc/README.txt: cannot be read: Permission denied\nerror: %s/lib: cannot be "
                  "read: Permission denied" % self.payload),
                 (("windrvr.sys",), None, rewrite, None),
                 (("README.txt",), fifo, None, "doc/README.txt: a named pipe"),
                 (("doc",), link, None, "doc: a symbolic link")]
        real_open = os.open
        for names, before, after, text in cases:
            def hooked_open(path, flags, mode=0o777, *, dir_fd=None):
                if path in names and before:
                    before()
                handle = real_open(path, flags, mode, dir_fd=dir_fd)
                if path in names and after:
                    after()
                return handle

            shutil.rmtree(self.payload)
            shutil.copytree(os.path.join(WIN32, "demo-payload"), self.payload)
            with self.subTest(names), mock.patch("os.open", hooked_open):
                if text:
                    self.expect_refused(self.payload + "/" + text)
                else:
                    self.assertEqual(self.step(), (0, ""))
                    self.assertEqual(self.package_files()["system\\windrvr.sys"], checked)

    def test_setup_exe_refused(self):
        self.assertEqual(self.step(), (0, ""))
        image = make_package.read_bytes(SETUP)
        _, table, sections = make_package.pe_headers(image)
        at = table + 40 * len(sections)
        cases = [(b"MZ not a program", "not a 32-bit PE image"),
                 (image + b"appended", "%d bytes, where its sections end at %d; "
                  % (len(image) + 8, len(image))),
                 (self.package_files()["setup.exe"], "has a .talpkg section already"),
                 (image[:at] + b"\1" + image[at + 1:], "no room for another section header")]
        setup = os.path.join(self.work, "setup.exe")
        for data, text in cases:
            with self.subTest(text):
                write(setup, data)
                self.expect_refused(setup + ": " + text, setup=setup)


if __name__ == "__main__":
    unittest.main()
