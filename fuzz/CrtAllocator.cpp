// libarchive sizes some tables from counts in the headers it reads and handles a failed
// allocation as a damaged archive. The Windows CRT returns null for a request it cannot meet, so
// the fuzzers' allocator does too rather than stop the run; memory really used stays bounded by
// -rss_limit_mb.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1";
}
