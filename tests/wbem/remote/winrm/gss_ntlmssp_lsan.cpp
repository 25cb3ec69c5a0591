// gss-ntlmssp 1.2 fetches MD4 from OpenSSL when it turns a password into
// NTLM credentials and never frees it (a few KB per credential, once per
// connection here). Not ours to fix; LeakSanitizer is told to look past it in
// the test programs that use NTLM, so that a leak of ours still fails them.
// OpenSSL has no frame pointers: only the slow unwinder sees past it to the
// gss-ntlmssp frame the suppression names.
extern "C" const char* __lsan_default_suppressions() { return "leak:gssntlmssp.so\n"; }
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
