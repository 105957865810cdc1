#pragma once
// The process-wide cookie store of the page fetcher. The service keeps its session in a
// cookie set at login, and no caller handles cookies itself, so every page request of
// the process shares one store: cookies set by any answer go out with later requests to
// matching hosts, from whichever thread. (File transfers keep their own cookies.)
//
// Behind it is one libcurl share handle holding the cookies and the DNS cache, guarded
// by a mutex per kind of shared data. It lives until the process ends, since detached
// worker threads may still be fetching while the process exits.

namespace corvane {

// Runs curl_global_init exactly once per process; safe to call from any thread.
// Returns false when libcurl could not be initialised.
bool ensure_curl_initialized();

// Connects a libcurl easy handle (a CURL*) to the store and switches its cookie engine
// on. A handle that is not attached neither sends nor keeps stored cookies.
void attach_cookie_store(void* easy_handle);

// Forgets every stored cookie. Tests use it to start from an empty store.
void clear_cookie_store();

}  // namespace corvane
