// Keeps DLLs from being loaded out of the program's folder or the current folder.
#pragma once

// Calls SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) where the system has it.
void RestrictDllSearchToSystem32() noexcept;
