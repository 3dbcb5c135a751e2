// bcrypt.dll loaded once from the system folder, with every function the CNG wrappers use.
#include "platform/BCrypt.h"

#include "platform/Error.h"
#include "platform/SystemLibrary.h"

#include <cstdio>
#include <iterator>

namespace {

template <typename Function>
void Bind(HMODULE aLibrary, Function& aFunction, const char* aName)
{
    aFunction = ProcedureAddress<Function>(aLibrary, aName);
    if (aFunction == nullptr)
        ThrowLastError(L"bcrypt.dll lacks a function: ");
}

BCryptFunctions LoadBCrypt()
{
    const HMODULE library = LoadSystemLibrary(L"bcrypt.dll");
    if (library == nullptr)
        ThrowLastError(L"Cannot load bcrypt.dll: ");
    BCryptFunctions functions;
    Bind(library, functions.openAlgorithmProvider, "BCryptOpenAlgorithmProvider");
    Bind(library, functions.setProperty, "BCryptSetProperty");
    Bind(library, functions.createHash, "BCryptCreateHash");
    Bind(library, functions.hashData, "BCryptHashData");
    Bind(library, functions.finishHash, "BCryptFinishHash");
    Bind(library, functions.destroyHash, "BCryptDestroyHash");
    Bind(library, functions.generateSymmetricKey, "BCryptGenerateSymmetricKey");
    Bind(library, functions.encrypt, "BCryptEncrypt");
    Bind(library, functions.destroyKey, "BCryptDestroyKey");
    Bind(library, functions.genRandom, "BCryptGenRandom");
    return functions;
}

} // namespace

const BCryptFunctions& BCrypt()
{
    static const BCryptFunctions functions = LoadBCrypt();
    return functions;
}

void CheckBCrypt(NTSTATUS aStatus, const wchar_t* aSubject, const wchar_t* aOperation)
{
    if (aStatus < 0) {
        wchar_t text[128];
        std::swprintf(text, std::size(text), L"%ls: %ls failed with status 0x%08lX", aSubject, aOperation,
            static_cast<unsigned long>(aStatus));
        throw AppError(text);
    }
}
