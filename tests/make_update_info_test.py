"""The maker's tool that writes the update information file, run as the maker runs it."""
import os
import subprocess
import sys
import tempfile
import unittest

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "make_update_info.py")


class MakeUpdateInfo(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.news = os.path.join(self.folder.name, "news.txt")
        self.out = os.path.join(self.folder.name, "OL.inf")

    def tearDown(self):
        self.folder.cleanup()

    def run_tool(self, text, tag="121B"):
        with open(self.news, "wb") as f:
            f.write(text if isinstance(text, bytes) else text.encode("utf-8"))
        return subprocess.run([sys.executable, TOOL, tag, self.news, self.out], capture_output=True, text=True)

    def written(self):
        with open(self.out, "rb") as f:
            return f.read()

    def assert_refused(self, result, *words):
        self.assertNotEqual(result.returncode, 0)
        for word in words:
            self.assertIn(word, result.stderr)
        self.assertFalse(os.path.exists(self.out), "a refused text still wrote a file")

    def test_text_that_fits(self):
        result = self.run_tool("凡特文件加密机\n新版本：V1.2.2\n", tag="122A")
        self.assertEqual(result.returncode, 0, result.stderr)
        # Independently: magic, tag, the two bytes, GBK text with CR LF line ends, a zero byte.
        expected = (b"QVX 122A\r\n" + bytes.fromhex("B7B2CCD8CEC4BCFEBCD3C3DCBBFA") + b"\r\n"
                    + bytes.fromhex("D0C2B0E6B1BEA3BA") + b"V1.2.2\r\n\0")
        self.assertEqual(self.written(), expected)

    def test_byte_order_mark_and_line_ends(self):
        result = self.run_tool(b"\xef\xbb\xbfa\r\nb\rc\nd")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.written(), b"QVX 121B\r\na\r\nb\r\nc\r\nd\0")

    def test_exactly_4086_bytes(self):
        for text in ["x" * 4086, "中" * 2043, "中" * 2042 + "\n"]:
            with self.subTest(length=len(text)):
                result = self.run_tool(text)
                self.assertEqual(result.returncode, 0, result.stderr)
                data = self.written()
                self.assertEqual(len(data), 10 + 4086 + 1)
                self.assertEqual(data[-1], 0)
                os.remove(self.out)

    def test_one_byte_too_long(self):
        # The limit counts GBK bytes after the line ends became CR LF.
        for text in ["x" * 4087, "中" * 2043 + "x", "x" * 4085 + "\n"]:
            with self.subTest(length=len(text)):
                self.assert_refused(self.run_tool(text), "4087", "4086")

    def test_characters_without_a_gbk_form(self):
        self.assert_refused(self.run_tool("第一行\n好消息 😀\n"), "line 2", "U+1F600", "936")
        self.assert_refused(self.run_tool("\u2603"), "U+2603")

    def test_other_refusals(self):
        self.assert_refused(self.run_tool("a\0b"), "zero byte")
        self.assert_refused(self.run_tool("text", tag="121"), "four ASCII characters")
        self.assert_refused(self.run_tool("text", tag="12€B"), "four ASCII characters")
        self.assert_refused(self.run_tool(b"\xff\xfe"), "not UTF-8")
        result = subprocess.run([sys.executable, TOOL, "121B"], capture_output=True, text=True)
        self.assertEqual(result.returncode, 2)
        self.assertIn("make_update_info.py TAG NEWS.txt OUT.inf", result.stderr)


class Site(unittest.TestCase):
    """The static pages lie where the program opens them: the root and the download page."""

    SITE = os.path.join(os.path.dirname(TOOL), "site")

    def page(self, path):
        with open(os.path.join(self.SITE, *path.split("/")), encoding="utf-8") as f:
            return f.read()

    def test_pages_at_the_programs_addresses(self):
        home, download = self.page("index.htm"), self.page("Sw/QVX/DL.htm")
        for text in (home, download):
            self.assertIn('<meta charset="utf-8">', text)
            self.assertIn('lang="zh-CN"', text)
        self.assertIn('href="/Sw/QVX/DL.htm"', home)
        self.assertIn('href="/"', download)


if __name__ == "__main__":
    unittest.main()
