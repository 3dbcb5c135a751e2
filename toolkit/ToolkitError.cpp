// Hands the exception being handled to the application's standard error display.
#include "toolkit/ToolkitError.h"

#include "platform/Error.h"
#include "platform/ErrorDisplay.h"

#include <exception>
#include <new>
#include <string>

namespace {

// The message of the exception being handled.
std::wstring CurrentExceptionMessage()
{
    try {
        throw;
    } catch (const AppError& error) {
        return error.Message();
    } catch (const std::bad_alloc&) {
        return L"Out of memory";
    } catch (const std::exception& error) {
        const std::string text = error.what();
        return std::wstring(text.begin(), text.end());
    } catch (...) {
        return L"Unknown error";
    }
}

} // namespace

void ShowCurrentException() noexcept
{
    try {
        ShowErrorMessage(CurrentExceptionMessage());
    } catch (...) {
        // No memory left even for the message's text: nothing more can be shown.
    }
}
