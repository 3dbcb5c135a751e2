// AppError's context rule and the system's error texts.
#include "platform/Error.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

TEST(AppError, PrependPutsContextInFront)
{
    AppError error(L"File not found");
    error.Prepend(L"Signature loading failed: ");
    EXPECT_EQ(error.Message(), L"Signature loading failed: File not found");
}

TEST(SystemErrorText, HasNoTrailingFullStopOrLineBreak)
{
    const std::wstring text = SystemErrorText(ERROR_SHARING_VIOLATION);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), L'.');
    EXPECT_NE(text.back(), L'\n');
    EXPECT_NE(text.back(), L' ');
}

// The message as the system words it: only the line breaks go, a closing full stop stays.
TEST(SystemMessage, IsTheSystemTextWithoutTrailingLineBreaks)
{
    for (const DWORD code : {ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED, ERROR_OPERATION_ABORTED}) {
        const std::wstring message = SystemMessage(code);
        ASSERT_FALSE(message.empty()) << code;
        EXPECT_NE(message.back(), L'\n') << code;
        EXPECT_NE(message.back(), L'\r') << code;
        EXPECT_TRUE(message.starts_with(SystemErrorText(code))) << code;
        EXPECT_LE(message.size() - SystemErrorText(code).size(), 1u) << code;
    }
    EXPECT_EQ(SystemMessage(0xDEADu), L"Unknown error 57005");
}

TEST(AppError, CarriesTheSystemCodeWhereThereIsOne)
{
    EXPECT_EQ(AppError(L"Invalid file").Code(), 0u);
    EXPECT_EQ(CodeOf([] { ThrowWin32Error(ERROR_SHARING_VIOLATION, L"Cannot open x: "); }),
        static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(MessageOf([] { ThrowWin32Error(ERROR_SHARING_VIOLATION, L"Cannot open x: "); }),
        L"Cannot open x: " + SystemErrorText(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(CodeOf([] {
        SetLastError(ERROR_ACCESS_DENIED);
        ThrowLastError();
    }),
        static_cast<DWORD>(ERROR_ACCESS_DENIED));
    try {
        ThrowWin32Error(ERROR_FILE_NOT_FOUND);
    } catch (AppError& error) {
        error.Prepend(L"Signature loading failed: ");
        EXPECT_EQ(error.Code(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << "kept through Prepend";
    }
}
