// libarchive sizes some tables and buffers from counts and lengths in the headers it reads, and
// handles a failed allocation as a damaged archive. Under Windows a request beyond the commit
// limit fails with null; the fuzzers' allocator does the same above 1 GiB, rather than stop the
// run or shadow tens of gigabytes it never touches.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1:max_allocation_size_mb=1024";
}
