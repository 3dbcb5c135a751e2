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
