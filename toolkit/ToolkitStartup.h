// The toolkit's start-up on the interface thread.
#pragma once

// Registers the common controls and initialises OLE on the calling thread.
void InitializeToolkit();
