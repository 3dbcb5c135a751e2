// The signature database signature.dat and the preparation mode that stamps a file.
#pragma once

class TSignature {
public:
    // Preparation mode. False when the command line has no "sig" switch (nothing done);
    // otherwise stamps the named file, shows a failure itself, sets aExitCode
    // (0 after a successful stamping, 1 after a failed one) and returns true.
    static bool PrepareSignatureFile(int& aExitCode);
};
