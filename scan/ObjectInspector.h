// The inspection of one object at a time: its blocks matched against the compiled signatures,
// and the finding it makes once its end (or where it was cut short) is reached.
#pragma once

#include "detect/Database.h"
#include "detect/ObjectScan.h"
#include "scan/Finding.h"
#include "signature/CngHashProvider.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TObjectInspector {
public:
    // aDatabase must outlive the inspector. Possible threats count only with aHeuristicMode.
    TObjectInspector(const detect::Database& aDatabase, bool aHeuristicMode);
    TObjectInspector(const TObjectInspector&) = delete;
    TObjectInspector& operator=(const TObjectInspector&) = delete;

    // A new object of aSize bytes, as its file reports it.
    void Begin(std::uint64_t aSize);
    // The next aCount bytes of the object. Throws AppError when a digest cannot be computed.
    void Inspect(const std::uint8_t* aBuffer, std::size_t aCount);
    // The object's finding, named by aPath; empty when it matched nothing that counts.
    // aComplete is false for an object cut short: only the body matches found so far count.
    // An object that exceeded the matcher's bounds is "Not scanned" (too many partial matches)
    // unless it was found infected before.
    std::optional<TFinding> End(const std::wstring& aPath, bool aComplete);
    // The object's matches as End decides them, valid until the next Begin.
    const std::vector<detect::Match>& EndMatches(bool aComplete);
    // Whether the object just ended reached the matcher's bounds (valid until the next Begin).
    bool Overflowed() const;
    // Whether the object just ended is on an allow list: nothing in it is reported (valid until
    // the next Begin).
    bool Allowed() const;
    // The matches an allow list hid for the object just ended (valid until the next Begin).
    const std::vector<detect::Match>& Hidden() const;
    // The finding aMatches make for the object aPath, as End gives it; aOverflowed as Overflowed()
    // said when the object ended.
    std::optional<TFinding> Decide(const std::vector<detect::Match>& aMatches, const std::wstring& aPath,
        bool aOverflowed) const;

private:
    CngHashProvider FHashes;
    detect::ObjectScan FScan;
    bool FHeuristicMode;
};
