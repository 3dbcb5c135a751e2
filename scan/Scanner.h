// The common base of the scanners: the step protocol and the object reader.
#pragma once

#include "platform/SharedReadFile.h"

#include <windows.h>

#include <cstdint>
#include <string>

class TObjectInspector;
class TScanHost;

class TScanner {
public:
    explicit TScanner(TScanHost* aScannerThread) : FScannerThread(aScannerThread) {}
    virtual ~TScanner() = default;
    TScanner(const TScanner&) = delete;
    TScanner& operator=(const TScanner&) = delete;

    // Scans the next object and returns true, or returns false when none is left.
    virtual bool ScanNext() { return false; }

protected:
    // Resolves aPath (ResolveFilePath) and reads the file in 8192-byte blocks, handing each to
    // ScanBuffer between the beginning and the end of the object's inspection; an object that
    // matched a signature becomes a finding under its resolved path. Every error is dropped, so
    // it never throws; an object cut short by a read error or by Stop keeps the body matches found
    // before. An empty path reads nothing.
    void ScanFile(const std::wstring& aPath);
    // The inspection of one block of aCount bytes (1 to 8192) of the object being read.
    virtual void ScanBuffer(const std::uint8_t* aBuffer, DWORD aCount);
    // (aCurrent + 1) * 100 / aCount in 64-bit arithmetic.
    static std::uint8_t Percentage(std::int32_t aCurrent, std::size_t aCount) noexcept;
    // Next of the step protocol: aCurrent moves to the following entry of a list of aCount
    // entries, and to -1 once it has passed the last.
    static void NextEntry(std::int32_t& aCurrent, std::size_t aCount) noexcept;
    // The step protocol over a list scanner's index aCurrent: aFirst when it is -1 (builds the
    // list and places the index), otherwise aNext; then false when the index is -1, else
    // aScanCurrent and true. Throws what the steps throw.
    template <typename First, typename Next, typename ScanCurrent>
    static bool StepThroughList(const std::int32_t& aCurrent, First aFirst, Next aNext, ScanCurrent aScanCurrent)
    {
        if (aCurrent == -1)
            aFirst();
        else
            aNext();
        if (aCurrent == -1)
            return false;
        aScanCurrent();
        return true;
    }

    TScanHost* const FScannerThread;

private:
    // Opens the resolved path, through the native system folders when the plain test finds no file.
    static SharedReadFile OpenObject(const std::wstring& aPath);
    // Hands the file's blocks to ScanBuffer; stops early when the worker is asked to terminate.
    // True when the end of the file was reached.
    bool ReadObject(SharedReadFile& aFile);
    // Reads the object at aResolved, inspected by aInspector. Throws what reading throws, after
    // the inspection of what was read has ended.
    void ReadInspected(const std::wstring& aResolved, TObjectInspector& aInspector);
};
