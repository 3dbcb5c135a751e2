// Hands the exception being handled to the application's standard error display.
#pragma once

// Call only inside a catch block: shows the current exception's message and swallows it.
void ShowCurrentException() noexcept;
