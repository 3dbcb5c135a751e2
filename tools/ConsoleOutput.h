// One of the tool's output streams: UTF-16 through WriteConsoleW to a console, UTF-8 without a
// byte-order mark when redirected.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

class TTextOutput {
public:
    virtual ~TTextOutput() = default;
    virtual void Write(std::wstring_view aText) = 0;
    // True for a console, where a status line may be rewritten in place.
    virtual bool IsConsole() const noexcept { return false; }
};

class TConsoleOutput final : public TTextOutput {
public:
    // aStdHandle: STD_OUTPUT_HANDLE or STD_ERROR_HANDLE.
    explicit TConsoleOutput(DWORD aStdHandle) noexcept;
    void Write(std::wstring_view aText) override;
    bool IsConsole() const noexcept override { return FConsole; }

private:
    HANDLE FHandle;
    bool FConsole;
};

// The text kept in memory, for the tool's tests.
class TStringOutput final : public TTextOutput {
public:
    void Write(std::wstring_view aText) override { FText += aText; }
    const std::wstring& Text() const noexcept { return FText; }

private:
    std::wstring FText;
};
