// The program's one exception type: a UTF-16 message, context in front, and the system's error code.
#pragma once

#include <windows.h>

#include <exception>
#include <string>
#include <string_view>

class AppError : public std::exception {
public:
    // aCode: the system error code behind the failure, 0 when there is none.
    explicit AppError(std::wstring aMessage, DWORD aCode = 0) : message_(std::move(aMessage)), code_(aCode) {}

    const std::wstring& Message() const noexcept { return message_; }
    // The system error code behind the failure; 0 when there is none.
    DWORD Code() const noexcept { return code_; }

    // Puts aContext in front of the message, as "Signature loading failed: " + message.
    void Prepend(std::wstring_view aContext) { message_.insert(0, aContext); }

    const char* what() const noexcept override { return "AppError"; }

private:
    std::wstring message_;
    DWORD code_;
};

// The system's description of an error code, with trailing full stops, spaces
// and line breaks removed; "Unknown error NNN" when the system has none.
std::wstring SystemErrorText(DWORD aCode);

// The system's message for an error code as it reads (FormatMessage), only its trailing line
// breaks removed; "Unknown error NNN" when the system has none.
std::wstring SystemMessage(DWORD aCode);

// Throws AppError with aContext followed by the system's description of aCode, carrying aCode.
[[noreturn]] void ThrowWin32Error(DWORD aCode, std::wstring_view aContext = {});

// ThrowWin32Error with GetLastError().
[[noreturn]] void ThrowLastError(std::wstring_view aContext = {});
