#include "app/notice.h"

#include "app/app_state.h"

extern "C" int WINAPI MessageBoxTimeoutW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type,
                                         WORD language, DWORD milliseconds);

enum : DWORD { NEVER = 0xFFFFFFFF };   // the box waits for the user however long it takes

int notice(HWND owner, const WCHAR *text, UINT type)
{
    return MessageBoxTimeoutW(owner, text, PRODUCT_NAME, type, 0, NEVER);
}
