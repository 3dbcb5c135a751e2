// The windowing toolkit's application object and the main window's event loop.
#pragma once

// Registers the common controls and initialises OLE on the interface thread.
void InitializeToolkit();

// Creates the main window and runs the event loop until it closes; returns the exit code.
int RunMainWindow();
