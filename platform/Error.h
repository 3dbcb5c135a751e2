// The program's one exception type: a UTF-16 message, with context put in front.
#pragma once

#include <windows.h>

#include <exception>
#include <string>
#include <string_view>

class AppError : public std::exception {
public:
    explicit AppError(std::wstring aMessage) : message_(std::move(aMessage)) {}

    const std::wstring& Message() const noexcept { return message_; }

    // Puts aContext in front of the message, as "Signature loading failed: " + message.
    void Prepend(std::wstring_view aContext) { message_.insert(0, aContext); }

    const char* what() const noexcept override { return "AppError"; }

private:
    std::wstring message_;
};

// The system's description of an error code, with trailing full stops, spaces
// and line breaks removed; "Unknown error NNN" when the system has none.
std::wstring SystemErrorText(DWORD aCode);

// Throws AppError with aContext followed by the system's description of aCode.
[[noreturn]] void ThrowWin32Error(DWORD aCode, std::wstring_view aContext = {});

// ThrowWin32Error with GetLastError().
[[noreturn]] void ThrowLastError(std::wstring_view aContext = {});
