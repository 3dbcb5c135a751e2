// The stored form of the folder table: one text of ";"-separated items "path=1" or "path=0".
#pragma once

#include <string>
#include <utility>
#include <vector>

// A path and its flag (true: scan it).
using FolderEntry = std::pair<std::wstring, bool>;

// The text of a folder table, given in its enumeration order. Paths equal when compared as Windows
// compares file names (ordinal, letter case ignored) give one item, at the earlier one's position,
// with the later one's spelling and flag. Items holding a double quote, ";" or a character with a
// code from 1 to 32 are enclosed in double quotes, with inner quotes doubled.
std::wstring WriteFoldersText(const std::vector<FolderEntry>& aFolders);

// The items of a stored text, in order, each split at its last "=" into path and flag
// (flag true only for "1"; an item without "=" gives the empty path, unchecked).
std::vector<FolderEntry> ReadFoldersText(const std::wstring& aText);
