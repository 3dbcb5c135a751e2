// The program's digests for the tests: CNG.
#include "signature/CngHashProvider.h"
#include "tests/support/ContainerMaker.h"

detect::HashProvider& SystemHashes()
{
    static CngHashProvider hashes;
    return hashes;
}
