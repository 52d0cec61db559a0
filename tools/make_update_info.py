#!/usr/bin/env python3
"""Writes the update information file that QVX fetches from the maker's server at /Sw/QVX/OL.inf.

    make_update_info.py TAG NEWS.txt OUT.inf

TAG is the four-character version tag of the newest release ("121B" is the running program's:
a program with that tag shows the news text, any other makes it offer the download page).
NEWS.txt is the news text in UTF-8; its line ends become CR LF, which the news pane needs to break
lines. The file is "QVX ", the tag, CR LF, the text in code page 936 (GBK) and a zero byte.
"""
import sys

MAGIC = b"QVX "
SEPARATOR = b"\r\n"     # two bytes the program skips; they keep the header on a line of its own
TEXT_MAX = 4086         # the program reads 4096 bytes, 10 of them before the text


class Refused(Exception):
    pass


def tag_bytes(tag):
    if len(tag) != 4 or not tag.isascii() or not tag.isprintable():
        raise Refused(f"the version tag must be four ASCII characters, not {tag!r}")
    return tag.encode("ascii")


def news_bytes(text):
    text = text.removeprefix("\ufeff").replace("\r\n", "\n").replace("\r", "\n").replace("\n", "\r\n")
    if "\0" in text:
        raise Refused("the news text holds a zero byte, where the program would end it")
    try:
        data = text.encode("gbk")
    except UnicodeEncodeError as e:
        line = text.count("\n", 0, e.start) + 1
        raise Refused(f"line {line}: {text[e.start:e.end]!r} (U+{ord(text[e.start]):04X}) has no form in "
                      "code page 936 (GBK); write it another way")
    if len(data) > TEXT_MAX:
        raise Refused(f"the news text is {len(data)} bytes in code page 936; the program shows at most "
                      f"{TEXT_MAX}: shorten it by {len(data) - TEXT_MAX}")
    return data


def update_info(tag, text):
    return MAGIC + tag_bytes(tag) + SEPARATOR + news_bytes(text) + b"\0"


def main(argv):
    if len(argv) != 4:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    tag, news_path, out_path = argv[1:]
    try:
        with open(news_path, encoding="utf-8", newline="") as f:
            text = f.read()
        data = update_info(tag, text)
    except UnicodeDecodeError as e:
        print(f"{news_path}: not UTF-8 text (byte {e.start})", file=sys.stderr)
        return 1
    except OSError as e:
        print(f"{news_path}: {e.strerror}", file=sys.stderr)
        return 1
    except Refused as e:
        print(f"{news_path}: {e}", file=sys.stderr)
        return 1
    with open(out_path, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
