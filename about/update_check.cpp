#include "about/update_check.h"

#include <wininet.h>

#include <stdint.h>

#include "about/server.h"
#include "about/shell_open.h"
#include "about/update_reply.h"
#include "app/app_state.h"
#include "app/notice.h"
#include "native/native.h"
#include "res/resource.h"

// From the server, never from the cache; store nothing there; a redirect is not followed.
static const DWORD URL_FLAGS =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT;
static_assert(URL_FLAGS == 0x84200000, "the flags of the one request");

// Headers given to a request: none, so their length is the "up to the terminator" mark.
static const DWORD HEADERS_UP_TO_TERMINATOR = 0xFFFFFFFF;

static const WCHAR UPDATE_ADDRESS[] = L"" UPDATE_INFO_ADDRESS;
static const WCHAR DOWNLOAD_ADDRESS[] = L"" DOWNLOAD_PAGE_ADDRESS;
static const WCHAR NEW_VERSION_QUESTION[] = L"有新版本可用，是否下载？";
// "无法连接服务器" in code page 936, the news pane's own encoding.
static const char FAILURE_TEXT[] = "\xCE\xDE\xB7\xA8\xC1\xAC\xBD\xD3\xB7\xFE\xCE\xF1\xC6\xF7";

// One byte more than is ever read, so a news text that fills the read still ends inside the buffer.
enum { RECEIVE_BUFFER_BYTES = UPDATE_READ_BYTES + 1 };

// The text is code page 936: the ANSI form of the message decodes it with the system's code page.
static void show_news(const char *text)
{
    SendMessageA(GetDlgItem(app.about_box, IDC_NEWS), WM_SETTEXT, 0, (LPARAM)text);
}

// Neither handle is tested: a call on a null handle fails, and the read's result says so.
static BOOL fetch(uint8_t *buffer)
{
    HINTERNET internet = InternetOpenW(PRODUCT_NAME, INTERNET_OPEN_TYPE_PRECONFIG, NULL, NULL, 0);
    HINTERNET url = InternetOpenUrlW(internet, UPDATE_ADDRESS, NULL, HEADERS_UP_TO_TERMINATOR, URL_FLAGS, 0);
    BOOL result = InternetReadFile(url, buffer, UPDATE_READ_BYTES, &app.update_received);
    if (url)
        InternetCloseHandle(url);
    if (internet)
        InternetCloseHandle(internet);
    return result;
}

static void offer_download(void)
{
    if (notice(app.about_box, NEW_VERSION_QUESTION, NOTICE_QUESTION) == IDYES)
        shell_open(DOWNLOAD_ADDRESS);
}

static void act_on(uint8_t *buffer, UpdateReply reply)
{
    switch (reply.outcome) {
    case UPDATE_SAME_VERSION:
        buffer[reply.text_offset + reply.text_length] = 0;
        show_news((const char *)buffer + reply.text_offset);
        break;
    case UPDATE_NEW_VERSION:
        offer_download();
        break;
    default:
        show_news(FAILURE_TEXT);
        break;
    }
}

DWORD WINAPI update_check(void *)
{
    uint8_t *buffer = (uint8_t *)pages_allocate(RECEIVE_BUFFER_BYTES, PAGE_READWRITE);
    if (buffer) {
        BOOL result = fetch(buffer);
        act_on(buffer, update_reply_decide(result, buffer, app.update_received));
        pages_release(buffer);
    } else {
        show_news(FAILURE_TEXT);
    }
    thread_end();
}
