// What the results window's Quarantine and Delete buttons act on and what its Action column says.
#pragma once

#include "quarantine/Quarantine.h"
#include "scan/Finding.h"

#include <cstddef>
#include <string>
#include <vector>

enum class TFindingAction { Quarantine, Delete };

// The file on disk that holds aObject: the text before the first "->" of an archive member, else aObject.
std::wstring FileOnDisk(const std::wstring& aObject);

// Whether the buttons can act on aFinding: Infected or Possible threat.
bool Actionable(const TFinding& aFinding) noexcept;

struct TActionTarget {
    std::wstring Path; // the file on disk
    std::wstring Threat;
    TFindingKind Kind = TFindingKind::Infected;
};

// The files the rows aSelected (indices into aFindings) stand for, each once (paths compared
// ignoring case), in the order first met, with the threat of the first row met for each. Rows
// that are not actionable are left out, and so are those whose Action cell in aActions (by index
// into aFindings) tells that their file was quarantined or deleted already.
std::vector<TActionTarget> ActionTargets(const std::vector<TFinding>& aFindings, const std::vector<std::size_t>& aSelected,
    const std::vector<std::wstring>& aActions = {});

// The indices of the rows of aFindings whose file on disk is aPath (ignoring case).
std::vector<std::size_t> RowsOfFile(const std::vector<TFinding>& aFindings, const std::wstring& aPath);

// The Action cell after aAction ended with aOutcome: "Quarantined", "Deleted" or "Failed: " and the message.
std::wstring ActionText(TFindingAction aAction, const quarantine::Outcome& aOutcome);

// "Delete N files permanently?", or "Delete 1 file permanently?".
std::wstring DeleteQuestion(std::size_t aCount);

// "Quarantining N of M..." or "Deleting N of M...", for the file N (from 1) of M being acted on.
std::wstring ProgressText(TFindingAction aAction, std::size_t aCurrent, std::size_t aTotal);
