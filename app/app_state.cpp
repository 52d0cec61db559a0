#include "app/app_state.h"

AppState app;

const WCHAR PRODUCT_NAME[] = L"Vantle File Encryptor";
