// AppError's context rule and the system's error texts.
#include "platform/Error.h"

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
