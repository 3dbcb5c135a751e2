// The standard error display: its full-stop rule and the message box it shows.
#include "platform/ErrorDisplay.h"

#include "tests/support/MessageBoxProbe.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(ErrorDisplayText, AddsFullStopAfterCharactersAboveIt)
{
    const struct {
        std::wstring message;
        std::wstring shown;
    } cases[] = {
        {L"File not found", L"File not found."},
        {L"Done.", L"Done."},
        {L"Really?", L"Really?."},
        {L"Stop!", L"Stop!"},
        {L"Cannot open \"x\"", L"Cannot open \"x\""},
        {L"(see above)", L"(see above)"},
        {L"a,", L"a,"},
        {L"a-", L"a-"},
        {L"a/", L"a/."},
        {L"error 5", L"error 5."},
        {L"\x00E9t\x00E9", L"\x00E9t\x00E9."},
        {L"", L""},
    };
    for (const auto& test : cases)
        EXPECT_EQ(ErrorDisplayText(test.message), test.shown) << test.message;
}

namespace {

BOOL CALLBACK CloseWindow(HWND aWindow, LPARAM) noexcept
{
    PostMessageW(aWindow, WM_CLOSE, 0, 0);
    return TRUE;
}

// Shows the error display on a thread of its own, optionally above an active window of that
// thread, and returns what the probe saw (the box is closed with OK).
std::optional<MessageBoxInfo> ShowAndRead(bool aWithOwner, HWND& aOwner)
{
    std::atomic<DWORD> threadId{0};
    std::thread shower([&] {
        threadId = GetCurrentThreadId();
        aOwner = aWithOwner ? CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                  100, nullptr, nullptr, nullptr, nullptr)
                            : nullptr;
        if (aOwner != nullptr)
            SetActiveWindow(aOwner);
        ShowErrorMessage(L"Something failed");
        if (aOwner != nullptr)
            DestroyWindow(aOwner);
    });
    std::optional<MessageBoxInfo> box = WaitForOwnMessageBox();
    if (box)
        ClickOk(box->window);
    else
        EnumThreadWindows(threadId, CloseWindow, 0);
    shower.join();
    return box;
}

} // namespace

TEST(ShowErrorMessage, ShowsErrorBoxOwnedByTheActiveWindow)
{
    for (const bool withOwner : {false, true}) {
        HWND owner = nullptr;
        const std::optional<MessageBoxInfo> box = ShowAndRead(withOwner, owner);
        ASSERT_TRUE(box) << "no message box appeared";
        EXPECT_EQ(box->caption, L"Error");
        EXPECT_EQ(box->text, L"Something failed.");
        EXPECT_TRUE(box->hasIcon);
        EXPECT_EQ(box->icon, LoadIconW(nullptr, IDI_ERROR));
        EXPECT_EQ(box->buttonCount, 1);
        EXPECT_TRUE(box->hasOkButton);
        EXPECT_EQ(box->owner, owner) << "with owner: " << withOwner;
        EXPECT_EQ(owner != nullptr, withOwner);
    }
}
