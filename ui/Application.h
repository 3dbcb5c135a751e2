// The main window's event loop.
#pragma once

// Creates the main window and runs the event loop until it closes; returns the exit code.
int RunMainWindow();
