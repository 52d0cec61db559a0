#include "shot.h"

#include <stdint.h>

#include <fstream>
#include <set>
#include <vector>

#include "driver.h"

namespace {

uint32_t crc32(const std::string &data)
{
    static uint32_t table[256];
    if (!table[1])
        for (uint32_t n = 0; n < 256; n++) {
            uint32_t c = n;
            for (int k = 0; k < 8; k++)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char byte : data)
        c = table[(c ^ byte) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void put_be32(std::string &out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += (char)(value >> shift);
}

void chunk(std::string &png, const char *type, const std::string &data)
{
    put_be32(png, (uint32_t)data.size());
    std::string body = type + data;
    png += body;
    put_be32(png, crc32(body));
}

// zlib with stored blocks only: larger than it could be, but needs no compressor.
std::string zlib_stored(const std::string &raw)
{
    std::string out = "\x78\x01";
    uint32_t a = 1, b = 0;
    for (unsigned char byte : raw)
        a = (a + byte) % 65521, b = (b + a) % 65521;
    size_t done = 0;
    do {
        size_t part = std::min<size_t>(raw.size() - done, 65535);
        out += (char)(done + part == raw.size() ? 1 : 0);
        out += (char)(part & 0xFF), out += (char)(part >> 8);
        out += (char)(~part & 0xFF), out += (char)((~part >> 8) & 0xFF);
        out.append(raw, done, part);
        done += part;
    } while (done < raw.size());
    put_be32(out, (b << 16) | a);
    return out;
}

std::string png_of(int width, int height, const std::vector<uint8_t> &bgr, size_t stride)
{
    std::string raw;
    for (int y = 0; y < height; y++) {
        raw += '\0';   // no filter
        for (int x = 0; x < width; x++) {
            const uint8_t *pixel = &bgr[y * stride + x * 3];
            raw += (char)pixel[2], raw += (char)pixel[1], raw += (char)pixel[0];
        }
    }
    std::string header;
    put_be32(header, (uint32_t)width);
    put_be32(header, (uint32_t)height);
    header += std::string("\x08\x02\x00\x00\x00", 5);   // 8 bits, RGB
    std::string png = "\x89PNG\r\n\x1a\n";
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", zlib_stored(raw));
    chunk(png, "IEND", "");
    return png;
}

}   // namespace

// What the screen shows in r (screen coordinates), as rows of BGR pixels; false when it cannot be
// read.
struct Pixels {
    int width, height;
    size_t stride;
    std::vector<uint8_t> bgr;
};

static bool capture(const RECT &r, Pixels *p)
{
    if (r.right <= r.left || r.bottom <= r.top)
        return false;
    p->width = r.right - r.left, p->height = r.bottom - r.top;
    p->stride = ((size_t)p->width * 3 + 3) & ~(size_t)3;
    p->bgr.assign(p->stride * p->height, 0);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = p->width;
    info.bmiHeader.biHeight = -p->height;   // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, p->width, p->height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    bool ok = BitBlt(memory, 0, 0, p->width, p->height, screen, r.left, r.top, SRCCOPY | CAPTUREBLT);
    SelectObject(memory, old);   // a bitmap is read out only when no device context holds it
    ok = ok && GetDIBits(memory, bitmap, 0, p->height, p->bgr.data(), &info, DIB_RGB_COLORS) == p->height;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

static size_t colours_of(const Pixels &p)
{
    std::set<uint32_t> colours;
    for (int y = 0; y < p.height; y++)
        for (int x = 0; x < p.width; x++) {
            const uint8_t *pixel = &p.bgr[y * p.stride + x * 3];
            colours.insert(pixel[0] | pixel[1] << 8 | pixel[2] << 16);
        }
    return colours.size();
}

size_t save_window_png(HWND window, const std::wstring &path)
{
    RECT r;
    Pixels p;
    if (!GetWindowRect(window, &r) || !capture(r, &p))
        return 0;
    std::ofstream file(path.c_str(), std::ios::binary);
    file << png_of(p.width, p.height, p.bgr, p.stride);
    return file.good() ? colours_of(p) : 0;
}

size_t colours_in(HWND window, RECT part)
{
    MapWindowPoints(window, HWND_DESKTOP, (POINT *)&part, 2);
    Pixels p;
    return capture(part, &p) ? colours_of(p) : 0;
}

void paint_in_front(HWND window)
{
    SetForegroundWindow(window);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    DWORD_PTR result;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, WAIT_MS, &result);   // back in its loop
}

size_t colours_inside(HWND control, size_t plain, DWORD ms)
{
    RECT inside = {};
    GetClientRect(control, &inside);
    size_t colours = 0;
    wait_for(ms, [&] { return (colours = colours_in(control, inside)) > plain; });
    return colours;
}
