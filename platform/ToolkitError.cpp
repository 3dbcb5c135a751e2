// Hands the exception being handled to the application's standard error display.
#include "platform/ToolkitError.h"

#include "platform/Error.h"
#include "platform/ErrorDisplay.h"

#include <exception>
#include <new>
#include <string>

void ShowCurrentException() noexcept
{
    try {
        try {
            throw;
        } catch (const AppError& error) {
            ShowErrorMessage(error.Message());
        } catch (const std::bad_alloc&) {
            ShowErrorMessage(L"Out of memory");
        } catch (const std::exception& error) {
            const std::string text = error.what();
            ShowErrorMessage(std::wstring(text.begin(), text.end()));
        }
    } catch (...) {
        // The display itself failed (no memory for a message box): nothing more can be shown.
    }
}
