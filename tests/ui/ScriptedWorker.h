// Workers for window tests whose one scanner follows a script, and a main window that uses them.
#pragma once

#include "scan/ScannerThread.h"
#include "ui/MainForm.h"

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct ScriptedObject {
    std::wstring name;
    // Recorded right after the object is reported.
    std::optional<TFinding> finding;
};

struct Script {
    std::vector<ScriptedObject> objects;
    // Thrown as an AppError after the last object.
    std::optional<std::wstring> failure;
    // After the last object the worker runs on until it is stopped.
    bool holdOpen = false;
    // Counted as skipped with the first object.
    std::vector<TSkipped> skipped;
};

// A running worker whose thread reports the script's objects one per step, then ends, fails or
// waits to be stopped.
std::unique_ptr<TScannerThread> StartScriptedWorker(const Script& aScript);

// The main window with a scripted worker for each Start while scripts are queued, then the real one.
class ScriptedMainFrm : public TMainFrm {
public:
    std::deque<Script> scripts;

protected:
    std::unique_ptr<TScannerThread> CreateWorker() override;
};

// A finding of aKind for aObject.
TFinding Hit(const std::wstring& aObject, const std::wstring& aThreat, TFindingKind aKind = TFindingKind::Infected);
