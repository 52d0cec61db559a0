#!/usr/bin/env python3
"""Black-box tests of qvx on real files: the Linux program (QVX), the Windows console program under
Wine (QVX_EXE run by QVX_WINE_RUN), and the two against each other when both are given.

Randomness comes from one seed, printed, and overridable with QVX_TEST_SEED.
"""
import errno
import hashlib
import os
import pty
import random
import re
import select
import shlex
import shutil
import signal
import struct
import subprocess
import tempfile
import termios
import time
import unittest
import zlib

QVX = os.environ.get("QVX")
QVX_EXE = os.environ.get("QVX_EXE")
WINE_RUN = shlex.split(os.environ.get("QVX_WINE_RUN", ""))   # the runner and its arguments
HELPER = os.environ.get("QVX_CONSOLE_HELPER")                # tests/cli/console_helper.cpp, for qvx.exe
SHIM = os.environ.get("QVX_IO_SHIM")                         # tests/cli/io_shim.c, for qvx
VERSION_H = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "res", "version.h")
SEED = int(os.environ.get("QVX_TEST_SEED", "20141208"), 0)
PASSWORD = "pässwörd 密码 😀"
DONE, DECLINED, USAGE, WRONG_PASSWORD, DAMAGED, FILE_FAILURE = 0, 1, 2, 3, 4, 5
MiB = 1 << 20


def run(program, args, password=PASSWORD, timeout=300, env_extra=None, user=None):
    env = dict(os.environ)
    env.pop("QVX_PASSWORD", None)
    if password is not None:
        env["QVX_PASSWORD"] = password
    env.update(env_extra or {})
    # A session of its own has no terminal to ask, even when the tests run from one.
    return subprocess.run(program + args, env=env, stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=timeout, start_new_session=True, user=user)


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


def set_xattr(name, attribute, value):
    """Sets an extended attribute; False where the file system keeps none (tmpfs before Linux 6.6
    keeps no user attributes)."""
    try:
        os.setxattr(name, attribute, value)
        return True
    except OSError as error:
        if error.errno != errno.ENOTSUP:
            raise
        return False


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


def wait_bounded(pid, seconds=30):
    """The exit status of a child of ours, killed if it has not ended in time."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        done, code = os.waitpid(pid, os.WNOHANG)
        if done:
            return os.waitstatus_to_exitcode(code)
        time.sleep(0.05)
    os.kill(pid, signal.SIGKILL)
    return os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1])


def read_ready(fd, seconds):
    """What fd has to give within seconds; b"" at its end (a terminal whose program has gone)."""
    try:
        return os.read(fd, 4096) if select.select([fd], [], [], seconds)[0] else b""
    except OSError:
        return b""


def write_bytes(path, data):
    with open(path, "wb") as f:
        f.write(data)


def folder_state(folder):
    """Every name under folder with its contents' digest (None for folders and links)."""
    state = {}
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = os.path.join(root, name)
            plain = os.path.isfile(path) and not os.path.islink(path)
            state[os.path.relpath(path, folder)] = digest(path) if plain else None
    return state


class SharedBehaviour:
    """What both programs must do alike. A class that mixes this in gives call(*args, **kw),
    not_text_password(*args), on_terminal(lines, *args), and DEVICE, a name of a device."""

    def expect(self, status, *args, **kw):
        result = self.call(*args, **kw)
        self.assertEqual(result.returncode, status, result.stderr.decode(errors="replace"))
        return result

    def test_refusals_name_their_cause_and_change_nothing(self):
        p = self.path
        write_random(p("a"), 10, self.rng)
        self.expect(DONE, "encrypt", p("a"))
        shutil.copyfile(p("a.QVX"), p("b.QVX"))
        os.link(p("a"), p("second-name"))
        os.mkdir(p("folder"))
        write_bytes(p("pw-not-utf8"), b"p\xe4ss\n")
        write_bytes(p("pw-utf16"), "\ufeffpässwörd\n".encode("utf-16-le"))
        decrypt_a = ["decrypt", "-o", p("out"), p("a.QVX")]
        rows = [  # why, status, what stderr names, how it is run
            ("-o with several files", USAGE, "out", lambda: self.call(*decrypt_a, p("b.QVX"))),
            ("-o with --in-place", USAGE, "out", lambda: self.call("decrypt", "--in-place", *decrypt_a[1:])),
            ("password file missing", USAGE, "missing", lambda: self.call("decrypt", "--password-file", p("missing"), p("a.QVX"))),
            ("password file not UTF-8", USAGE, "pw-not-utf8", lambda: self.call("decrypt", "--password-file", p("pw-not-utf8"), p("a.QVX"))),
            ("password file in UTF-16", USAGE, "UTF-16", lambda: self.call("decrypt", "--password-file", p("pw-utf16"), p("a.QVX"))),
            ("password file a folder", USAGE, "folder", lambda: self.call("decrypt", "--password-file", p("folder"), p("a.QVX"))),
            ("empty QVX_PASSWORD", USAGE, "empty", lambda: self.call("encrypt", "-f", p("a"), password="")),
            ("QVX_PASSWORD not text", USAGE, "QVX_PASSWORD", lambda: self.not_text_password("encrypt", "-f", p("a"))),
            ("terminal passwords differ", USAGE, "differ", lambda: self.on_terminal(["one", "two"], "encrypt", "-f", p("a"))),
            ("output a folder", FILE_FAILURE, "folder", lambda: self.call("decrypt", "-o", p("folder"), p("a.QVX"))),
            ("output a temporary name", FILE_FAILURE, ".qvx-tmp-abcdef", lambda: self.call("decrypt", "-o", p(".qvx-tmp-abcdef"), p("a.QVX"))),
            ("in place with other names", FILE_FAILURE, "second-name", lambda: self.call("encrypt", "--in-place", p("second-name"))),
            ("a device", FILE_FAILURE, self.DEVICE, lambda: self.call("encrypt", self.DEVICE)),
        ]
        before = folder_state(self.dir)
        for why, status, named, how in rows:
            with self.subTest(why):
                result = how()
                self.assertEqual(result.returncode, status, result.stderr.decode(errors="replace"))
                self.assertIn(named.encode(), result.stderr)
                self.assertEqual(folder_state(self.dir), before)

    def test_password_file_with_utf8_byte_order_mark_is_read_without_it(self):
        write_random(self.path("a"), 100, self.rng)
        self.expect(DONE, "encrypt", self.path("a"))
        write_bytes(self.path("pw"), ("\ufeff" + PASSWORD + "\r\n").encode())
        self.expect(DONE, "decrypt", "-f", "--password-file", self.path("pw"), self.path("a.QVX"), password=None)

    def test_verify_writes_nothing_and_tells_by_its_status(self):
        write_random(self.path("a"), 1001, self.rng)
        self.expect(DONE, "encrypt", self.path("a"))
        with open(self.path("a.QVX"), "rb") as f:
            good = f.read()
        write_bytes(self.path("long.QVX"), good + b"\0\0\0\0")
        write_bytes(self.path("cut.QVX"), good[:-4])
        before = folder_state(self.dir)
        for name, password, status in (("a.QVX", PASSWORD, DONE), ("a.QVX", "wrong", WRONG_PASSWORD),
                                       ("long.QVX", PASSWORD, DAMAGED), ("cut.QVX", PASSWORD, DAMAGED)):
            with self.subTest(name=name, password=password):
                self.expect(status, "verify", self.path(name), password=password)
        self.assertEqual(folder_state(self.dir), before)

    def test_version_is_the_programs(self):
        with open(VERSION_H) as f:
            dotted = next(line.split('"')[1] for line in f if "QVX_VERSION_DOTTED" in line)
        self.assertIn(f"qvx {dotted}".encode(), self.expect(DONE, "--version", password=None).stdout)


@unittest.skipUnless(QVX, "QVX names the Linux program")
class LinuxQvx(SharedBehaviour, Folder, unittest.TestCase):
    DEVICE = "/dev/null"

    def call(self, *args, **kw):
        return run([QVX], list(args), **kw)

    def not_text_password(self, *args):
        return self.call(*args, password=b"p\xe4ss")

    def on_terminal(self, lines, *args, env=None):
        """qvx on a terminal of its own, answering each prompt with the next line; its status and
        what the terminal showed."""
        pid, terminal = pty.fork()
        if pid == 0:
            os.environ.pop("QVX_PASSWORD", None)
            os.environ.update(env or {})
            os.execv(QVX, [QVX, *args])
        seen, answered, status, deadline = b"", 0, None, time.monotonic() + 30
        try:
            while status is None and time.monotonic() < deadline:
                if lines and seen.count(b"assword") > answered:
                    os.write(terminal, lines.pop(0).encode() + b"\n")
                    answered += 1
                seen += read_ready(terminal, 0.1)
                done, code = os.waitpid(pid, os.WNOHANG)
                status = os.waitstatus_to_exitcode(code) if done else None
            seen += read_ready(terminal, 0)
        finally:
            if status is None:
                os.kill(pid, signal.SIGKILL)
                wait_bounded(pid)
            os.close(terminal)
        return subprocess.CompletedProcess(args, status, b"", seen)

    def qvx(self, *args, **kw):
        return run([QVX], list(args), **kw)
    def qvx(self, *args, **kw):
        return run([QVX], list(args), **kw)

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
        wait_bounded(pid)
        self.assertTrue(termios.tcgetattr(terminal)[3] & termios.ECHO)
        os.close(terminal)

    def test_password_file_through_links_pipes_and_descriptors(self):
        write_random(self.path("a"), 100, self.rng)
        self.expect(DONE, "encrypt", self.path("a"))
        write_bytes(self.path("pw"), PASSWORD.encode() + b"\n")
        os.symlink(self.path("pw"), self.path("pw-link"))
        self.expect(DONE, "decrypt", "-f", "--password-file", self.path("pw-link"), self.path("a.QVX"), password=None)
        env = {k: v for k, v in os.environ.items() if k != "QVX_PASSWORD"}
        for name in ("/dev/stdin", "/dev/fd/0"):   # a pipe, as scripts and <(...) give it
            with self.subTest(name):
                result = subprocess.run([QVX, "decrypt", "-f", "--password-file", name, self.path("a.QVX")], env=env,
                                        input=PASSWORD.encode() + b"\nrest", capture_output=True, timeout=60)
                self.assertEqual(result.returncode, DONE, result.stderr.decode())

    def test_replace_keeps_owner_mode_acl_and_attributes(self):
        name = self.path("theirs")
        write_random(name, 5000, self.rng)
        os.chown(name, 65534, 65534)
        os.chmod(name, 0o640)
        set_xattr(name, "user.note", b"kept")   # where it can be kept
        # An ACL entry for one more user (2: that user, 0x10: the mask), as setfacl writes it.
        acl = struct.pack("<I", 2) + b"".join(struct.pack("<HHI", tag, perm, uid) for tag, perm, uid in (
            (1, 6, 0xFFFFFFFF), (2, 4, 65533), (4, 4, 0xFFFFFFFF), (0x10, 4, 0xFFFFFFFF), (0x20, 0, 0xFFFFFFFF)))
        os.setxattr(name, "system.posix_acl_access", acl)

        def attributes():
            st = os.stat(name)
            return st.st_uid, st.st_gid, st.st_mode, {a: os.getxattr(name, a) for a in os.listxattr(name)}

        before = attributes()
        for command in ("encrypt", "decrypt"):
            self.expect(DONE, command, "--in-place", name)
            self.assertEqual(attributes(), before, command)

    def test_done_replace_is_not_a_failure(self):
        """Once the result has its name, a folder that cannot be flushed (written to but not read,
        by a user who is not root) or a mode the file system will not keep is a warning."""
        os.chmod(self.dir, 0o711)
        folder = self.path("write-only")
        os.mkdir(folder)
        name = os.path.join(folder, "a")
        write_random(name, 300, self.rng)
        os.chown(folder, 65534, 65534)
        os.chown(name, 65534, 65534)
        os.chmod(folder, 0o300)
        result = run([QVX], ["encrypt", "--in-place", name], user=65534)
        self.assertEqual(result.returncode, DONE, result.stderr.decode())
        self.assertIn(b"warning", result.stderr)
        self.assertEqual(os.path.getsize(name), container_length(300))
        os.chmod(folder, 0o700)
        result = self.expect(DONE, "decrypt", "--in-place", name, env_extra={"LD_PRELOAD": SHIM, "QVX_SHIM_CHMOD_FAILS": "1"})
        self.assertIn(b"warning", result.stderr)
        self.assertEqual(os.path.getsize(name), 300)

    def test_a_write_that_moves_nothing_fails(self):
        write_random(self.path("a"), 3000, self.rng)
        result = self.expect(FILE_FAILURE, "encrypt", self.path("a"), timeout=30,
                             env_extra={"LD_PRELOAD": SHIM, "QVX_SHIM_WRITES_NOTHING": "1"})
        self.assertIn(b"wrote nothing", result.stderr)
        self.assertEqual(self.listing(), ["a"])

    def test_shred_leaves_a_file_moved_into_its_name(self):
        write_random(self.path("a"), 3000, self.rng)
        write_bytes(self.path("a.other"), b"not to be deleted")
        result = self.expect(FILE_FAILURE, "shred", "--yes", self.path("a"),
                             env_extra={"LD_PRELOAD": SHIM, "QVX_SHIM_SWAP_AFTER_CUT": self.path("a")})
        self.assertIn(b"another file", result.stderr)
        with open(self.path("a"), "rb") as f:
            self.assertEqual(f.read(), b"not to be deleted")

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
        write_random(plain, 64 * MiB, self.rng)
        plain_digest = digest(plain)
        work = self.path("work")

        def whole_container(path, _):
            out = self.path("check")
            ok = self.qvx("decrypt", "-q", "-f", "-o", out, path).returncode == DONE
            ok = ok and digest(out) == plain_digest
            os.remove(out) if os.path.exists(out) else None
            return ok

        self.kill_at_random(["encrypt", "-q", "--in-place", work], plain, whole_container, 12)
        shutil.copyfile(plain, container)
        self.expect(DONE, "encrypt", "-q", "--in-place", container)
        self.kill_at_random(["decrypt", "-q", "--in-place", work], container,
                            lambda _, now: now == plain_digest, 12)


@unittest.skipUnless(QVX and os.environ.get("QVX_BUILD_DIR"), "QVX_BUILD_DIR names the build tree of QVX")
class Installed(Folder, unittest.TestCase):
    """cmake --install gives the program, its manual page and a completion that know every option."""

    COMMANDS = ("encrypt", "decrypt", "verify", "info", "shred")

    def setUp(self):
        super().setUp()
        subprocess.run(["cmake", "--install", os.environ["QVX_BUILD_DIR"], "--prefix", "/usr"], check=True,
                       env=dict(os.environ, DESTDIR=self.dir), capture_output=True, timeout=120)
        self.root = self.path("usr")

    def installed(self, name):
        with open(os.path.join(self.root, name)) as f:
            return f.read()

    def options(self, command):
        text = run([os.path.join(self.root, "bin/qvx")], [command, "--help"], password=None).stdout.decode()
        listed = re.findall(r"^\s+(-\S+)", text, re.M)   # the option lines: "  -q,--quiet   ..."
        return {name for names in listed for name in names.split(",")}

    def complete(self, *words):
        script = (f"source {shlex.quote(self.path('usr/share/bash-completion/completions/qvx'))}; "
                  f"COMP_WORDS=({' '.join(map(shlex.quote, words))}); COMP_CWORD={len(words) - 1}; "
                  "_qvx; printf '%s\\n' \"${COMPREPLY[@]}\"")
        return subprocess.run(["bash", "-c", script], capture_output=True, timeout=60, text=True).stdout.split()

    def test_every_option_is_in_the_manual_and_the_completion(self):
        manual = self.installed("share/man/man1/qvx.1").replace("\\-", "-")
        self.assertEqual(self.complete("qvx", "ve"), ["verify"])
        for command in self.COMMANDS:
            options = self.options(command)
            self.assertIn("--quiet", options)
            with self.subTest(command):
                self.assertIn(f".B {command}", manual)
                self.assertEqual(options - set(re.findall(r"--?[a-z][\w-]*", manual)), set())
                self.assertEqual(options - set(self.complete("qvx", command, "-")), set())


def windows_path(arg):
    return ("Z:" + arg.replace("/", "\\")) if arg.startswith("/") else arg


class WindowsRuns:
    """Runs qvx.exe under Wine with Windows paths, by itself or through the console helper (which
    needs a display for its console)."""

    def exe(self, *args, **kw):
        return run(WINE_RUN + [QVX_EXE], [windows_path(a) for a in args], **kw)

    def helper(self, mode, *args, **kw):
        args = [mode, *args, "--"] if mode == "type" else [mode, *args]
        head = [windows_path(a) for a in args]
        return lambda *command, **more: run(WINE_RUN + [HELPER], head + [windows_path(QVX_EXE)]
                                            + [windows_path(a) for a in command], **kw, **more)


@unittest.skipUnless(QVX_EXE and WINE_RUN and HELPER, "QVX_EXE, QVX_WINE_RUN and QVX_CONSOLE_HELPER name the "
                     "Windows program, its runner and the console helper")
class WindowsQvx(WindowsRuns, SharedBehaviour, Folder, unittest.TestCase):
    DEVICE = "NUL"

    def call(self, *args, **kw):
        return self.exe(*args, **kw)

    def not_text_password(self, *args):
        return self.helper("surrogate")(*args)

    def on_terminal(self, lines, *args):
        return self.helper("type", *lines)(*args, password=None)

    def test_interruption_removes_the_temporary_file(self):
        write_random(self.path("big"), 256 * MiB, self.rng)
        result = self.helper("interrupt", self.dir)("encrypt", self.path("big"))
        self.assertIn(b"interrupted", result.stdout, result.stderr)
        self.assertNotEqual(result.returncode, DONE)
        self.assertEqual(self.listing(), ["big"])

    def test_prompt_on_the_console_and_echo_back_on_after_ctrl_c(self):
        write_random(self.path("a"), 10, self.rng)
        result = self.helper("type", "same", "same")("encrypt", self.path("a"), password=None)
        self.assertEqual(result.returncode, DONE, result.stderr)
        self.assertNotIn(b"assword", result.stderr)
        result = self.helper("prompt")("encrypt", "-f", self.path("a"), password=None)
        self.assertEqual(result.stdout.split(), [b"interrupted", b"echo", b"on"])

    def test_replace_keeps_attributes(self):
        write_random(self.path("a"), 10, self.rng)
        if not set_xattr(self.path("a"), "user.DOSATTRIB", b"0x2"):   # hidden, as Wine keeps it
            self.skipTest(f"{self.dir} keeps no file attributes")
        for command in ("encrypt", "decrypt"):
            self.expect(DONE, command, "--in-place", self.path("a"))
            self.assertEqual(int(os.getxattr(self.path("a"), "user.DOSATTRIB"), 16) & 2, 2, command)

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
            self.assertEqual(self.exe("shred", "--yes", name).returncode, DONE)
            self.assertFalse(os.path.exists(name))

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

    def test_long_password_is_cut_alike(self):
        """Both keep the first 129 UTF-16 units, as the password box does (😀 is two)."""
        long = "密" * 128 + "😀" * 1000
        write_random(self.path("a"), 100, self.rng)
        self.assertEqual(self.exe("encrypt", self.path("a"), password=long).returncode, DONE)
        for password in (long, "密" * 128 + "😀"):
            result = run([QVX], ["verify", self.path("a.QVX")], password=password)
            self.assertEqual(result.returncode, DONE, result.stderr)
        self.assertEqual(self.exe("verify", self.path("a.QVX"), password="密" * 128).returncode, WRONG_PASSWORD)


if __name__ == "__main__":
    print(f"seed: {SEED} (set QVX_TEST_SEED to change)")
    unittest.main(verbosity=2)
