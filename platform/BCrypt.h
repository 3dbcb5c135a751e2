// bcrypt.dll's functions, loaded from the system folder (never imported), and the check of their status.
#pragma once

#include <windows.h>

#include <bcrypt.h>

struct BCryptFunctions {
    decltype(&BCryptOpenAlgorithmProvider) openAlgorithmProvider = nullptr;
    decltype(&BCryptSetProperty) setProperty = nullptr;
    decltype(&BCryptCreateHash) createHash = nullptr;
    decltype(&BCryptHashData) hashData = nullptr;
    decltype(&BCryptFinishHash) finishHash = nullptr;
    decltype(&BCryptDestroyHash) destroyHash = nullptr;
    decltype(&BCryptGenerateSymmetricKey) generateSymmetricKey = nullptr;
    decltype(&BCryptEncrypt) encrypt = nullptr;
    decltype(&BCryptDestroyKey) destroyKey = nullptr;
    decltype(&BCryptGenRandom) genRandom = nullptr;
};

// Loaded on first use. Throws AppError when bcrypt.dll or one of its functions is missing.
const BCryptFunctions& BCrypt();

// Throws AppError ("aSubject: aOperation failed with status 0x...") for a failure status.
void CheckBCrypt(NTSTATUS aStatus, const wchar_t* aSubject, const wchar_t* aOperation);
