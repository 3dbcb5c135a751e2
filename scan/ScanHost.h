// What a scanner sees of the worker that drives it: its reports, its findings, the stop request.
#pragma once

#include "scan/Finding.h"
#include "scan/SkippedCounts.h"

class TObjectInspector;
class TVerdictCache;

#include <cstdint>
#include <string>

class TScanHost {
public:
    virtual ~TScanHost() = default;

    // The report before each object: its name and the scanner's progress in percent.
    virtual void SetScanInfo(const std::wstring& aObjectName, std::uint8_t aProgress) = 0;
    // Shows aObjectName as the object being read without counting it (a member of an archive).
    virtual void ShowObject(const std::wstring& /*aObjectName*/) {}
    // Keeps a finding about an object.
    virtual void AddFinding(TFinding aFinding) = 0;
    // Counts an object passed over without a finding.
    virtual void CountSkipped(TSkipped /*aKind*/) {}
    // Termination requested: long walks and reads poll it and give up.
    virtual bool Terminated() const noexcept = 0;
    // Pause requested: the object reader holds its position between blocks while it lasts.
    virtual bool Paused() const noexcept { return false; }
    // The inspection of the objects read; nullptr when the database has no signatures to match.
    virtual TObjectInspector* Inspector() noexcept { return nullptr; }
    // The files judged so far in this scan; nullptr when nothing is remembered.
    virtual TVerdictCache* Verdicts() noexcept { return nullptr; }
};
