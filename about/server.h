/* The addresses on the maker's web server. Its name comes from the build, so that tests can point
   the program at a server of their own; the resources include this header too, for the home page
   button's caption. */
#pragma once
#include "qvx_server.h"

#define HOME_PAGE_ADDRESS "http://" QVX_SERVER "/"
#define UPDATE_INFO_ADDRESS "http://" QVX_SERVER "/Sw/QVX/OL.inf"
#define DOWNLOAD_PAGE_ADDRESS "http://" QVX_SERVER "/Sw/QVX/DL.htm"
