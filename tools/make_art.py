#!/usr/bin/python3
"""Draws the program's banner (res/banner.bmp) and icon (res/qvx.ico).

The build uses the committed files; run this only to change the art:
    apt-get install -y python3-pil fonts-wqy-microhei fonts-dejavu-core
    tools/make_art.py [RES_DIR]
Shapes are drawn at several times the final size and scaled down, for smooth edges.
"""
import struct
import sys
from pathlib import Path

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

BANNER_SIZE = (803, 126)
ICON_SIZES = (64, 48, 32)
SUPER = 4
# The lettering stays in the left part of the picture: the dialog shows the banner at its own size
# and a narrower window (another font, other base units) cuts off the right side.
HEX_START = 0.6

FONT_LATIN_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
FONT_LATIN = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
FONT_MONO = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"
FONT_CHINESE = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"

NAVY_DARK = (7, 22, 52)
NAVY_LIGHT = (22, 72, 138)
SHIELD_TOP = (74, 168, 245)
SHIELD_BOTTOM = (16, 86, 178)
ACCENT = (88, 205, 255)
WHITE = (255, 255, 255)
SOFT_BLUE = (156, 202, 246)


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def vertical_gradient(size, top, bottom):
    """An RGB image fading from top to bottom."""
    column = Image.new("RGB", (1, size[1]))
    for y in range(size[1]):
        column.putpixel((0, y), lerp(top, bottom, y / max(1, size[1] - 1)))
    return column.resize(size)


def horizontal_gradient(size, left, right):
    row = Image.new("RGB", (size[0], 1))
    for x in range(size[0]):
        row.putpixel((x, 0), lerp(left, right, x / max(1, size[0] - 1)))
    return row.resize(size)


def shield_points(x, y, w, h):
    """Outline of a heater shield with a flat, slightly dipped top; (x, y) is its top left."""
    pts = [(x, y + 0.12 * h), (x + 0.5 * w, y), (x + w, y + 0.12 * h), (x + w, y + 0.48 * h)]
    # Right flank curving down to the point, then back up the left flank.
    steps = 24
    for i in range(1, steps + 1):
        t = i / steps
        pts.append((x + w - 0.5 * w * t ** 1.6, y + 0.48 * h + 0.52 * h * t ** 0.9))
    for i in range(1, steps + 1):
        t = 1 - i / steps
        pts.append((x + 0.5 * w * t ** 1.6, y + 0.48 * h + 0.52 * h * t ** 0.9))
    return pts


def shield_mask(size, box):
    mask = Image.new("L", size, 0)
    ImageDraw.Draw(mask).polygon(shield_points(*box), fill=255)
    return mask


def draw_padlock(draw, cx, cy, scale, body_colour, hole_colour):
    """A padlock centred on (cx, cy); scale is the body width."""
    bw, bh = scale, scale * 0.78
    top = cy - bh * 0.18
    shackle_w = bw * 0.62
    shackle_h = bw * 0.62
    stroke = max(1, round(bw * 0.14))
    draw.rounded_rectangle(
        (cx - shackle_w / 2, top - shackle_h, cx + shackle_w / 2, top + shackle_h * 0.6),
        radius=shackle_w / 2, outline=body_colour, width=stroke)
    draw.rounded_rectangle((cx - bw / 2, top, cx + bw / 2, top + bh),
                           radius=bw * 0.12, fill=body_colour)
    hole_r = bw * 0.11
    hole_y = top + bh * 0.42
    draw.ellipse((cx - hole_r, hole_y - hole_r, cx + hole_r, hole_y + hole_r), fill=hole_colour)
    draw.polygon([(cx - hole_r * 0.55, hole_y), (cx + hole_r * 0.55, hole_y),
                  (cx + hole_r * 0.8, hole_y + bh * 0.32), (cx - hole_r * 0.8, hole_y + bh * 0.32)],
                 fill=hole_colour)


def emblem(size, rim):
    """The shield with its padlock on a transparent square of the given (supersampled) size;
    rim is the white border's width as a share of the size."""
    img = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    w = size * 0.84
    h = size * 0.96
    box = ((size - w) / 2, (size - h) / 2, w, h)
    outer = shield_mask((size, size), box)
    r = size * rim
    inner = shield_mask((size, size), (box[0] + r, box[1] + r * 1.1, w - 2 * r, h - 2.3 * r))

    white = Image.new("RGBA", (size, size), WHITE + (255,))
    img.paste(white, (0, 0), outer)
    fill = vertical_gradient((size, size), SHIELD_TOP, SHIELD_BOTTOM).convert("RGBA")
    img.paste(fill, (0, 0), inner)

    # A soft highlight over the upper left half of the face.
    shine = Image.new("L", (size, size), 0)
    ImageDraw.Draw(shine).polygon([(0, 0), (size, 0), (0, size * 0.9)], fill=46)
    shine = ImageChops.multiply(shine, inner)
    img.paste(Image.new("RGBA", (size, size), WHITE + (255,)), (0, 0), shine)

    draw = ImageDraw.Draw(img)
    draw_padlock(draw, size / 2, size * 0.54, size * 0.36, WHITE + (255,), SHIELD_BOTTOM + (255,))
    return img


def hex_field(size, font_px, seed):
    """Faint columns of hex digits fading in towards the right: a quiet hint of ciphertext."""
    layer = Image.new("L", size, 0)
    draw = ImageDraw.Draw(layer)
    font = ImageFont.truetype(FONT_MONO, font_px)
    state = seed
    step_x, step_y = font_px * 2.1, font_px * 1.35
    y = -font_px * 0.3
    while y < size[1]:
        x = size[0] * HEX_START
        while x < size[0]:
            state = (state * 1103515245 + 12345) & 0x7FFFFFFF
            text = "%02X" % (state >> 16 & 0xFF)
            t = (x - size[0] * HEX_START) / (size[0] * (1 - HEX_START))
            draw.text((x, y), text, font=font, fill=round(38 * min(1.0, t * 1.6)))
            x += step_x
        y += step_y
    return layer


def banner():
    w, h = BANNER_SIZE[0] * SUPER, BANNER_SIZE[1] * SUPER
    img = horizontal_gradient((w, h), NAVY_DARK, NAVY_LIGHT).convert("RGBA")
    # Darken the bottom a little so the picture has depth.
    shade = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    shade.putalpha(vertical_gradient((w, h), (0, 0, 0), (70, 70, 70)).convert("L"))
    img = Image.alpha_composite(img, shade)

    # Glow behind the emblem.
    glow = Image.new("L", (w, h), 0)
    gx, gy, gr = 68 * SUPER, 63 * SUPER, 64 * SUPER
    ImageDraw.Draw(glow).ellipse((gx - gr, gy - gr, gx + gr, gy + gr), fill=90)
    glow = glow.filter(ImageFilter.GaussianBlur(26 * SUPER))
    glow_colour = Image.new("RGBA", (w, h), (70, 160, 255, 255))
    img.paste(glow_colour, (0, 0), glow)

    digits = hex_field((w, h), 11 * SUPER, 0x51565820)
    img.paste(Image.new("RGBA", (w, h), SOFT_BLUE + (255,)), (0, 0), digits)

    # A fading arc sweeping behind the lettering.
    arcs = Image.new("L", (w, h), 0)
    ad = ImageDraw.Draw(arcs)
    for i, alpha in enumerate((40, 26, 16)):
        r = (330 + 46 * i) * SUPER
        cx, cy = 900 * SUPER, 300 * SUPER
        ad.ellipse((cx - r, cy - r, cx + r, cy + r), outline=alpha, width=2 * SUPER)
    img.paste(Image.new("RGBA", (w, h), ACCENT + (255,)), (0, 0), arcs)

    mark = emblem(100 * SUPER, 0.055)
    shadow = Image.new("RGBA", mark.size, (0, 0, 0, 0))
    shadow.putalpha(mark.getchannel("A").point(lambda a: a * 0.55))
    shadow = shadow.filter(ImageFilter.GaussianBlur(4 * SUPER))
    img.alpha_composite(shadow, (22 * SUPER, 16 * SUPER))
    img.alpha_composite(mark, (20 * SUPER, 12 * SUPER))

    draw = ImageDraw.Draw(img)
    qvx_font = ImageFont.truetype(FONT_LATIN_BOLD, 58 * SUPER)
    draw.text((132 * SUPER, 62 * SUPER), "QVX", font=qvx_font, fill=WHITE, anchor="ls")
    qvx_right = 132 * SUPER + draw.textlength("QVX", font=qvx_font)

    rule_x = qvx_right + 18 * SUPER
    draw.rectangle((rule_x, 22 * SUPER, rule_x + 2 * SUPER - 1, 66 * SUPER), fill=ACCENT)

    name_x = rule_x + 18 * SUPER
    zh_font = ImageFont.truetype(FONT_CHINESE, 31 * SUPER)
    draw.text((name_x, 44 * SUPER), "凡特文件加密机", font=zh_font, fill=WHITE, anchor="ls")
    en_font = ImageFont.truetype(FONT_LATIN, 16 * SUPER)
    draw.text((name_x + 1 * SUPER, 66 * SUPER), "Vantle File Encryptor", font=en_font,
              fill=SOFT_BLUE, anchor="ls")

    tag_font = ImageFont.truetype(FONT_CHINESE, 15 * SUPER)
    tag = "加密  ·  解密  ·  粉碎    守护您的每一个文件"
    draw.text((134 * SUPER, 98 * SUPER), tag, font=tag_font, fill=SOFT_BLUE, anchor="ls")

    # Accent line along the bottom edge, fading out to the right.
    line = horizontal_gradient((w, 3 * SUPER), ACCENT, NAVY_LIGHT).convert("RGBA")
    img.alpha_composite(line, (0, h - 3 * SUPER))

    return img.resize(BANNER_SIZE, Image.LANCZOS).convert("RGB")


def icon_image(px):
    """The icon at px × px: the emblem alone, its border a little heavier at small sizes."""
    rim = 0.075 if px <= 32 else 0.06
    big = emblem(px * SUPER * 2, rim)
    return big.resize((px, px), Image.LANCZOS)


def write_bmp(path, img):
    """24 bits per pixel, uncompressed, bottom-up rows padded to four bytes."""
    w, h = img.size
    stride = (w * 3 + 3) & ~3
    rows = []
    raw = img.tobytes("raw", "BGR")
    for y in range(h - 1, -1, -1):
        row = raw[y * w * 3:(y + 1) * w * 3]
        rows.append(row + b"\0" * (stride - len(row)))
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    path.write_bytes(header + info + pixels)


def icon_dib(img):
    """One icon image as a 32-bit DIB with its AND mask (which older systems still read)."""
    w, h = img.size
    raw = img.tobytes("raw", "BGRA")
    colour = b"".join(raw[y * w * 4:(y + 1) * w * 4] for y in range(h - 1, -1, -1))
    mask_stride = ((w + 31) // 32) * 4
    alpha = img.getchannel("A")
    mask_rows = []
    for y in range(h - 1, -1, -1):
        bits = bytearray(mask_stride)
        for x in range(w):
            if alpha.getpixel((x, y)) == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask_rows.append(bytes(bits))
    mask = b"".join(mask_rows)
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return info + colour + mask


def write_ico(path, images):
    blobs = [icon_dib(img) for img in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for img, blob in zip(images, blobs):
        w, h = img.size
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    path.write_bytes(out + b"".join(blobs))


def main():
    res = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "res"
    write_bmp(res / "banner.bmp", banner())
    write_ico(res / "qvx.ico", [icon_image(px) for px in ICON_SIZES])
    print("wrote", res / "banner.bmp", "and", res / "qvx.ico")


if __name__ == "__main__":
    main()
