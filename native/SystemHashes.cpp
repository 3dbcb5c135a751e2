// The tests' digests in the native build: OpenSSL's.
#include "native/OpenSslHashProvider.h"
#include "tests/support/ContainerMaker.h"

detect::HashProvider& SystemHashes()
{
    static native::OpenSslHashProvider hashes;
    return hashes;
}
