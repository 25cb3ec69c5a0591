// libcurl, loaded when a remote call first needs it instead of with the
// program: the library and the twenty-odd libraries it brings (TLS, HTTP/2,
// LDAP, SSH, IDN...) cost every start about 6 ms, also the starts that never
// reach another machine. The calls go through this table.
#pragma once

#include <curl/curl.h>

namespace wbem::http {

struct CurlLibrary {
    CURL* (*easy_init)();
    CURLcode (*easy_setopt)(CURL*, CURLoption, ...);
    CURLcode (*easy_perform)(CURL*);
    CURLcode (*easy_getinfo)(CURL*, CURLINFO, ...);
    void (*easy_cleanup)(CURL*);
    const char* (*easy_strerror)(CURLcode);
    curl_slist* (*slist_append)(curl_slist*, const char*);
    void (*slist_free_all)(curl_slist*);
};

// The library, loaded and initialised the first time (from any thread).
// Throws WbemError Failed, naming the library and the loader's reason, when
// it cannot be loaded; the next call tries again.
const CurlLibrary& curlApi();

}  // namespace wbem::http
