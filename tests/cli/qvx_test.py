#!/usr/bin/env python3
"""Black-box tests of qvx on real files: the Linux program (QVX), the Windows console program under
Wine (QVX_EXE run by QVX_WINE_RUN), and the two against each other when both are given.

Randomness comes from one seed, printed, and overridable with QVX_TEST_SEED.
"""
import hashlib
import os
import pty
import random
import select
import shlex
import shutil
import signal
import subprocess
import tempfile
import termios
import time
import unittest
import zlib

QVX = os.environ.get("QVX")
QVX_EXE = os.environ.get("QVX_EXE")
WINE_RUN = shlex.split(os.environ.get("QVX_WINE_RUN", ""))   # the runner and its arguments
SEED = int(os.environ.get("QVX_TEST_SEED", "20141208"), 0)
PASSWORD = "pässwörd 密码 😀"
DONE, DECLINED, USAGE, WRONG_PASSWORD, DAMAGED, FILE_FAILURE = 0, 1, 2, 3, 4, 5
MiB = 1 << 20


def run(program, args, password=PASSWORD, timeout=300):
    env = dict(os.environ)
    env.pop("QVX_PASSWORD", None)
    if password is not None:
        env["QVX_PASSWORD"] = password
    # A session of its own has no terminal to ask, even when the tests run from one.
    return subprocess.run(program + args, env=env, stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=timeout, start_new_session=True)


def digest(path):
    h = hashlib.sha1()
    with open(path, "rb") as f:
        while block := f.read(8 * MiB):
            h.update(block)
    return h.hexdigest()


def write_random(path, size, rng):
    """Large files repeat one random block, each copy marked with its number."""
    block = rng.randbytes(min(size, 8 * MiB))
    with open(path, "wb") as f:
        for at in range(0, size, len(block) or 1):
            f.write((at.to_bytes(8, "little") + block[8:])[:size - at] if at else block[:size])


def container_length(plain_len):
    return 12 + 4 * ((plain_len + 3) // 4)


class Folder:
    """A fresh folder per test, on tmpfs when there is one."""

    def setUp(self):
        base = "/dev/shm" if os.path.isdir("/dev/shm") else None
        self.dir = tempfile.mkdtemp(prefix="qvx-test-", dir=base)
        self.rng = random.Random(SEED ^ zlib.crc32(self.id().encode()))

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.dir, name)

    def listing(self):
        return sorted(os.listdir(self.dir))


@unittest.skipUnless(QVX, "QVX names the Linux program")
class LinuxQvx(Folder, unittest.TestCase):
    def qvx(self, *args, **kw):
        return run([QVX], list(args), **kw)

    def expect(self, status, *args, **kw):
        result = self.qvx(*args, **kw)
        self.assertEqual(result.returncode, status, result.stderr.decode())
        return result

    def test_interrupted_password_prompt_turns_echo_back_on(self):
        plain = self.path("plain")
        write_random(plain, 10, self.rng)
        pid, terminal = pty.fork()
        if pid == 0:   # the child: qvx on a terminal of its own, asking for the password
            os.environ.pop("QVX_PASSWORD", None)
            os.execv(QVX, [QVX, "encrypt", plain])
        seen = b""
        deadline = time.monotonic() + 10
        while b"assword" not in seen and time.monotonic() < deadline:
            if select.select([terminal], [], [], 0.5)[0]:
                seen += os.read(terminal, 256)
        self.assertIn(b"assword", seen)
        self.assertFalse(termios.tcgetattr(terminal)[3] & termios.ECHO)
        os.kill(pid, signal.SIGINT)
        os.waitpid(pid, 0)
        self.assertTrue(termios.tcgetattr(terminal)[3] & termios.ECHO)
        os.close(terminal)

    def test_round_trip_over_sizes_and_password_sources(self):
        pw_file = self.path("pw")
        with open(pw_file, "w", encoding="utf-8") as f:
            f.write(PASSWORD + "\r\nsecond line\n")
        for size in (0, 1, 3, 4, 5, 4099, MiB + 3, 3 * MiB):
            name = self.path(f"f{size}")
            write_random(name, size, self.rng)
            want = digest(name)
            self.expect(DONE, "encrypt", name)
            self.assertEqual(os.path.getsize(name + ".QVX"), container_length(size))
            os.remove(name)
            self.expect(DONE, "decrypt", "--password-file", pw_file, name + ".QVX", password=None)
            self.assertEqual(digest(name), want)
            self.expect(DONE, "encrypt", "--in-place", name)
            self.expect(DONE, "decrypt", "--in-place", name)
            self.assertEqual(digest(name), want)

    def test_wrong_password_writes_nothing(self):
        write_random(self.path("a"), 5000, self.rng)
        self.expect(DONE, "encrypt", self.path("a"))
        os.remove(self.path("a"))
        before = self.listing(), digest(self.path("a.QVX"))
        for extra in ([], ["--in-place"], ["-o", self.path("out")]):
            result = self.expect(WRONG_PASSWORD, "decrypt", *extra, self.path("a.QVX"), password="wrong")
            self.assertIn(b"wrong password", result.stderr)
            self.assertEqual((self.listing(), digest(self.path("a.QVX"))), before)

    def test_damaged_containers_are_refused(self):
        write_random(self.path("a"), 100, self.rng)
        self.expect(DONE, "encrypt", self.path("a"))
        with open(self.path("a.QVX"), "rb") as f:
            good = f.read()
        cases = {"short.QVX": good[:11], "cut.QVX": good[:60], "empty.QVX": b""}
        for name, data in cases.items():
            with open(self.path(name), "wb") as f:
                f.write(data)
            for command in ("decrypt", "info"):
                result = self.expect(DAMAGED, command, self.path(name))
                self.assertIn(b"damaged", result.stderr)
            self.assertFalse(os.path.exists(self.path(name[:-4])))

    def test_existing_output_kept_unless_forced(self):
        write_random(self.path("a"), 1000, self.rng)
        with open(self.path("a.QVX"), "wb") as f:
            f.write(b"keep me")
        self.expect(FILE_FAILURE, "encrypt", self.path("a"))
        with open(self.path("a.QVX"), "rb") as f:
            self.assertEqual(f.read(), b"keep me")
        self.expect(DONE, "encrypt", "--force", self.path("a"))
        self.assertEqual(os.path.getsize(self.path("a.QVX")), container_length(1000))
        self.expect(FILE_FAILURE, "decrypt", self.path("a.QVX"))
        self.expect(DONE, "decrypt", "-f", self.path("a.QVX"))

    def test_info_tells_length_and_wholeness(self):
        write_random(self.path("a"), 4097, self.rng)
        self.expect(DONE, "encrypt", self.path("a"))
        out = self.expect(DONE, "info", self.path("a.QVX"), password=None).stdout
        self.assertIn(b"plaintext 4097 bytes", out)
        self.assertIn(b"whole", out)
        with open(self.path("a.QVX"), "ab") as f:
            f.write(b"\0" * 8)
        self.assertNotIn(b"whole", self.expect(DONE, "info", self.path("a.QVX")).stdout)

    def test_shred_asks_unless_yes(self):
        write_random(self.path("a"), 3 * MiB + 1, self.rng)
        write_random(self.path("b"), 0, self.rng)
        self.expect(DECLINED, "shred", self.path("a"))
        self.assertEqual(self.listing(), ["a", "b"])
        self.expect(DONE, "shred", "--yes", self.path("a"), self.path("b"))
        self.assertEqual(self.listing(), [])

    def test_refusals_name_the_file_and_the_others_go_on(self):
        write_random(self.path("plain"), 10, self.rng)
        os.mkdir(self.path("folder"))
        os.symlink(self.path("plain"), self.path("link"))
        write_random(self.path("linked"), 10, self.rng)
        os.link(self.path("linked"), self.path("second-name"))
        write_random(self.path(".qvx-tmp-abcdef"), 10, self.rng)
        refused = [self.path(n) for n in ("folder", "link", ".qvx-tmp-abcdef", "missing")] + ["/dev/null"]
        result = self.expect(FILE_FAILURE, "encrypt", *refused, self.path("plain"))
        self.assertEqual(result.stderr.count(b"\n"), len(refused))
        for name in refused:
            self.assertIn(name.encode(), result.stderr)
        self.assertTrue(os.path.exists(self.path("plain.QVX")))
        self.expect(FILE_FAILURE, "shred", "--yes", self.path("linked"))
        self.expect(FILE_FAILURE, "encrypt", "--in-place", self.path("linked"))
        self.expect(FILE_FAILURE, "shred", "--yes", self.path("link"), "/dev/null")
        self.assertTrue(os.path.exists(self.path("plain")))
        self.assertEqual(digest(self.path("linked")), digest(self.path("second-name")))

    def test_usage_failures(self):
        write_random(self.path("a"), 10, self.rng)
        self.expect(USAGE, "decrypt", self.path("a"))
        self.expect(USAGE, "encrypt", self.path("a"), password=None)
        self.expect(USAGE, "encrypt", self.path("a"), password="")
        self.expect(USAGE, "frobnicate", self.path("a"))
        self.assertIn(b"Exit status", self.expect(DONE, "--help").stdout)
        self.assertEqual(self.listing(), ["a"])

    def test_too_large_file_refused_before_any_output(self):
        big = self.path("big")
        with open(big, "wb") as f:
            f.truncate((1 << 32) - 15)
        self.assertIn(b"too large", self.expect(FILE_FAILURE, "encrypt", big).stderr)
        self.expect(FILE_FAILURE, "encrypt", "--in-place", big)
        self.assertEqual(self.listing(), ["big"])

    def kill_at_random(self, args, original, result, kills):
        """Runs args `kills` times, each killed at a random moment of a run's length; the file is
        always either the original or the whole result."""
        target = args[-1]
        shutil.copyfile(original, target)
        start = time.monotonic()
        self.expect(DONE, *args)
        full = time.monotonic() - start
        self.assertTrue(result(target, digest(target)))
        original_digest = digest(original)
        for _ in range(kills):
            shutil.copyfile(original, target)
            moment = self.rng.uniform(0, full)
            process = subprocess.Popen([QVX, *args], env=dict(os.environ, QVX_PASSWORD=PASSWORD),
                                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                       start_new_session=True)
            time.sleep(moment)
            process.send_signal(signal.SIGKILL)
            process.wait(timeout=60)
            now = digest(target)
            self.assertTrue(now == original_digest or result(target, now),
                            f"killed after {moment:.3f} s of {full:.3f} s")
            for name in self.listing():
                if name.startswith(".qvx-tmp-"):
                    os.remove(self.path(name))

    def test_kill_during_in_place_leaves_original_or_whole_result(self):
        print(f"\nkill test seed: {SEED} (set QVX_TEST_SEED to change)")
        plain, container = self.path("plain"), self.path("container")
        write_random(plain, 1 << 30, self.rng)
        plain_digest = digest(plain)
        work = self.path("work")

        def whole_container(path, _):
            out = self.path("check")
            ok = self.qvx("decrypt", "-q", "-f", "-o", out, path).returncode == DONE
            ok = ok and digest(out) == plain_digest
            os.remove(out) if os.path.exists(out) else None
            return ok

        self.kill_at_random(["encrypt", "-q", "--in-place", work], plain, whole_container, 4)
        shutil.copyfile(plain, container)
        self.expect(DONE, "encrypt", "-q", "--in-place", container)
        self.kill_at_random(["decrypt", "-q", "--in-place", work], container,
                            lambda _, now: now == plain_digest, 4)


class WindowsRuns:
    """Runs qvx.exe under Wine with Windows paths."""

    def exe(self, *args, **kw):
        win = [("Z:" + a.replace("/", "\\")) if a.startswith("/") else a for a in args]
        return run(WINE_RUN + [QVX_EXE], win, **kw)


@unittest.skipUnless(QVX_EXE and WINE_RUN, "QVX_EXE and QVX_WINE_RUN name the Windows program and its runner")
class WindowsQvx(WindowsRuns, Folder, unittest.TestCase):
    def test_round_trip(self):
        for size in (0, 5, MiB + 7):
            name = self.path(f"f{size}")
            write_random(name, size, self.rng)
            want = digest(name)
            result = self.exe("encrypt", name)
            self.assertEqual(result.returncode, DONE, result.stderr.decode(errors="replace"))
            self.assertEqual(os.path.getsize(name + ".QVX"), container_length(size))
            os.remove(name)
            self.assertEqual(self.exe("decrypt", name + ".QVX").returncode, DONE)
            self.assertEqual(digest(name), want)

    def test_wrong_password_writes_nothing(self):
        write_random(self.path("a"), 100, self.rng)
        self.assertEqual(self.exe("encrypt", self.path("a")).returncode, DONE)
        before = self.listing()
        result = self.exe("decrypt", "-o", self.path("b"), self.path("a.QVX"), password="wrong")
        self.assertEqual(result.returncode, WRONG_PASSWORD)
        self.assertEqual(self.listing(), before)


@unittest.skipUnless(QVX and QVX_EXE and WINE_RUN, "needs both programs")
class BetweenSystems(WindowsRuns, Folder, unittest.TestCase):
    """A container made on either system opens on the other, with a password beyond ASCII."""

    def test_containers_open_on_the_other_system(self):
        write_random(self.path("a"), 70001, self.rng)
        want = digest(self.path("a"))
        self.assertEqual(run([QVX], ["encrypt", self.path("a")]).returncode, DONE)
        self.assertEqual(self.exe("decrypt", "-o", self.path("from-linux"), self.path("a.QVX")).returncode, DONE)
        os.rename(self.path("a.QVX"), self.path("linux.QVX"))
        self.assertEqual(self.exe("encrypt", self.path("a")).returncode, DONE)
        self.assertEqual(run([QVX], ["decrypt", "-o", self.path("from-windows"), self.path("a.QVX")]).returncode, DONE)
        self.assertEqual(run([QVX], ["decrypt", "-o", self.path("x"), self.path("a.QVX")], password="wrong").returncode,
                         WRONG_PASSWORD)
        self.assertEqual(digest(self.path("from-linux")), want)
        self.assertEqual(digest(self.path("from-windows")), want)


if __name__ == "__main__":
    print(f"seed: {SEED} (set QVX_TEST_SEED to change)")
    unittest.main(verbosity=2)
