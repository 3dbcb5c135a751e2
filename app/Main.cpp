// Program entry: the signature-preparation mode or the windowed application.
#include "app/DllSearch.h"
#include "signature/Signature.h"
#include "toolkit/ToolkitStartup.h"
#include "ui/Application.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    RestrictDllSearchToSystem32();
    InitializeToolkit();
    int exitCode = 0;
    if (TSignature::PrepareSignatureFile(exitCode))
        return exitCode;
    return RunMainWindow();
}
