// Program entry: the signature-preparation mode, or the windowed application, scanning a path at once with -scan.
#include "app/DllSearch.h"
#include "platform/ProcessCommandLine.h"
#include "quarantine/Quarantine.h"
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
    // A quarantine cut short here (crash, power cut) leaves a temporary item; its original is intact.
    quarantine::RemoveTemporaryItems();
    std::wstring scanPath;
    if (FindSwitchValue(L"scan", scanPath) && !scanPath.empty())
        return RunMainWindow(scanPath);
    return RunMainWindow();
}
