// The two stored choices a scan started from Explorer follows, read without touching the settings.
#pragma once

struct TStoredChoices {
    bool ArchiveScan = true;
    bool HeuristicMode = true;
};

// ArchiveScan and HeuristicMode from the settings key, opened for reading only: a missing key
// or value reads as true. The key is never created and nothing is written.
TStoredChoices ReadStoredChoices() noexcept;
