#!/usr/bin/env python3
"""Makes the known-answer vectors of the core tests with a second implementation of the container
cipher and of the password words, written from their rules and not from the program's code.

Prints the vector lines as they stand in the test sources. With --check FILE..., fails unless every
printed line appears in those files.
"""
import sys

MASK = 0xFFFFFFFF


def ror(k, r):
    k &= MASK
    r %= 32
    return ((k >> r) | (k << (32 - r))) & MASK


def rol(k, r):
    return ror(k, 32 - r % 32)


def words(data):
    data = data + bytes(-len(data) % 4)
    return [int.from_bytes(data[i:i + 4], "little") for i in range(0, len(data), 4)]


def pack(values):
    return b"".join(v.to_bytes(4, "little") for v in values)


def encrypt(plain, check, stamp):
    seed = stamp ^ len(plain)
    d = words(plain) + [0]
    k = seed
    for i in range(len(d) - 1):
        k = ror(k, 1)
        d[i] = (d[i] + d[i + 1] + k) & MASK
    return pack([stamp, seed, check] + d[:-1])


def decrypt(container):
    stamp, seed = words(container[:8])
    length = stamp ^ seed
    n = (len(container) - 12) // 4
    d = words(container[len(container) - 4 * n:]) + [0]
    k = ror(seed, n)
    for i in reversed(range(n)):
        d[i] = (d[i] - (d[i + 1] + k)) & MASK
        k = rol(k, 1)
    return pack(d[:-1])[:length]


def units(text):
    data = text.encode("utf-16-le")
    return [int.from_bytes(data[i:i + 2], "little") for i in range(0, len(data), 2)][:129]


def check_value(text):
    h = x = 0
    for c in units(text):
        x = (x & 0xFFFF0000) | c
        x = x * x & MASK
        h = ror(h + x, 1)
    return h


def companion(text):
    u = units(text)
    a = b = h = 0
    for i, c in enumerate(u):
        after = u[i + 1] if i + 1 < len(u) else 0
        a = (a & 0xFFFF0000) | c
        b = (b & 0xFFFF0000) | ((b + after + c) & 0xFFFF)
        product = a * b
        a, b = product & MASK, product >> 32
        h = rol(h + a, 1)
    return h


def cpp_bytes(data):
    return "Bytes{" + ", ".join(str(b) for b in data) + "}"


def container_lines():
    hello = b"Hello, QVX!"
    eight = bytes(range(1, 9))
    a = encrypt(hello, 0x800027E8, 0x12345678).hex()
    b = encrypt(eight, 0xDEADBEEF, 0x80000001).hex()
    assert decrypt(bytes.fromhex(b)) == eight and decrypt(bytes.fromhex(a)) == hello
    return [
        '    EXPECT_EQ(memory_encrypt(Bytes(hello, hello + 11), 0x800027E8u, 0x12345678u),',
        '              hex("%s"));' % a,
        '    EXPECT_EQ(memory_encrypt(%s, 0xDEADBEEFu, 0x80000001u),' % cpp_bytes(eight),
        '              hex("%s"));' % b,
        '    EXPECT_EQ(memory_decrypt(hex("%s")), (%s));' % (b, cpp_bytes(decrypt(bytes.fromhex(b)))),
    ]


def cpp_word(value):
    return "0x%08Xu" % value if value else "0u"


def password_lines():
    # Each text with its spelling in the test source.
    texts = [("a", 'u"a"'), ("ab", 'u"ab"'), ("ba", 'u"ba"'), ("密码Pass123", 'u"密码Pass123"'),
             ("\uFFFF\uFFFF", r'u"\xFFFF\xFFFF"'), ("", 'u""')]
    return ["        {%s, %s, %s}," % (source, cpp_word(check_value(t)), cpp_word(companion(t))) for t, source in texts]


def main(args):
    lines = container_lines() + password_lines()
    if not args:
        print("\n".join(lines))
        return 0
    if args[0] != "--check" or len(args) < 2:
        print("usage: make_known_answers.py [--check FILE...]", file=sys.stderr)
        return 2
    committed = "".join(open(name, encoding="utf-8").read() for name in args[1:])
    missing = [line for line in lines if line.strip() not in committed]
    for line in missing:
        print("not in the tests: " + line.strip())
    print("%d of %d vector lines found" % (len(lines) - len(missing), len(lines)))
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
