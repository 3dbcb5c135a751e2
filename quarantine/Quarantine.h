// Quarantine, restore and deletion of files, without a window: the results window, the
// Quarantine window and the console tool all act through these functions.
//
// Quarantine keeps a file in at least one place at every moment: the original is opened once
// (read and delete access, shared for reading only), the item is written from that handle under
// a temporary name held open without sharing, flushed, read back and checked against the
// original's SHA-256, renamed into place, and only then is the original deleted through the
// same handle. When the original cannot be deleted, the new item is removed and the original
// stays untouched. Nothing is ever scheduled for a reboot.
#pragma once

#include "vault/ItemHeader.h"

#include <functional>
#include <string>
#include <vector>

namespace quarantine {

// The result of one action: Succeeded, or the system's message (or the item's problem).
struct Outcome {
    bool Succeeded = false;
    std::wstring Message;
};

// The points of a quarantine after which a crash must still leave the file somewhere.
enum class Step { Opened, Written, Flushed, Verified, Renamed, Deleted };
using StepHook = std::function<void(Step)>;

// The user's store's path, %LOCALAPPDATA%\Talbrinn\Quorvane\Quarantine, whether or not it exists.
// Throws AppError when the local application data folder cannot be found.
std::wstring StorePath();

// The user's store, %LOCALAPPDATA%\Talbrinn\Quorvane\Quarantine, created when missing.
// Throws AppError when it cannot be found or created.
std::wstring StoreFolder();

// Moves aPath into the store aStore (the user's store when empty). aHook runs after each step.
// Never throws: a failure comes back as the system's message.
Outcome QuarantineFile(const std::wstring& aPath, const std::wstring& aThreat, vault::ThreatKind aKind,
    const std::wstring& aStore = {}, const StepHook& aHook = {});

// Deletes aPath for good; fails with the system's message when it is in use or denied.
Outcome DeleteFinding(const std::wstring& aPath);

// Deletes the temporary items of aStore (the user's store when empty) that can be opened for
// deletion: those of a quarantine still running elsewhere are held open and stay. Never throws.
void RemoveTemporaryItems(const std::wstring& aStore = {});

struct Item {
    std::wstring File;        // the item's full path
    vault::ItemHeader Header; // Path empty when the header is malformed
};

// The complete items of aStore (the user's store when empty), damaged ones included.
std::vector<Item> ListItems(const std::wstring& aStore = {});

enum class RestoreResult { Restored, Exists, Damaged, Failed };

struct RestoreOutcome {
    RestoreResult Result = RestoreResult::Failed;
    std::wstring Message; // the system's message when Failed
};

// The message for an item that fails its checks.
extern const wchar_t* const kDamagedMessage;

// Writes an item's content back to aTarget (its original path when empty), after checking its
// header, its path's form and its SHA-256, with the original attributes and timestamps, creating
// the folder when gone; then deletes the item. An existing target is replaced only with aReplace.
RestoreOutcome RestoreItem(const std::wstring& aItemFile, const std::wstring& aTarget = {}, bool aReplace = false);

// Deletes an item for good.
Outcome DeleteItem(const std::wstring& aItemFile);

} // namespace quarantine
