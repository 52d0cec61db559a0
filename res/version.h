/* The program's version, for its code, its resources and the update check alike. */
#ifndef QVX_VERSION_H
#define QVX_VERSION_H

#define QVX_VERSION_NUMBERS 1, 2, 1, 0
#define QVX_VERSION_DOTTED "1.2.1.0"
#define QVX_VERSION_TEXT "V1.2.1 Beta"
#define QVX_VERSION_DATE "2014-02-08"
/* The four bytes that name this build to the update check and in the crash report. */
#define QVX_VERSION_TAG "121B"

#endif
