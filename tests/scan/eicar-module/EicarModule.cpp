// A loadable module that holds the EICAR test text, for the memory and registry scanners' tests.
// The text is put together from pieces, so that no source file holds it whole.
extern "C" __declspec(dllexport) const char QvEicarText[] =
    "X5O!P%@AP[4\\PZX54(P^)7CC)7}$"
    "EICAR-STANDARD-ANTIVIRUS-TEST-FILE!"
    "$H+H*";
