// Placeholder until the signature file is implemented.
#include "signature/Signature.h"

bool TSignature::PrepareSignatureFile(int& aExitCode)
{
    aExitCode = 0;
    return false;
}
