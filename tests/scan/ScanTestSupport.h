// Test doubles for the scan engine: block recorders.
#pragma once

#include "scan/FileScanner.h"
#include "scan/ScanOptions.h"
#include "scan/Scanner.h"
#include "settings/Settings.h"
#include "tests/support/RecordingHost.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Gives tests the protected reader of the base and records the blocks it inspects.
template <typename Base>
class BlockRecorder : public Base {
public:
    explicit BlockRecorder(TScanHost* aHost) : Base(aHost) {}
    using TScanner::Percentage;
    using TScanner::ScanFile;

    void ScanBuffer(const std::uint8_t* aBuffer, DWORD aCount) override
    {
        blockSizes.push_back(aCount);
        const std::string_view block(reinterpret_cast<const char*>(aBuffer), aCount);
        if (keepContent)
            content.append(block);
        if (block.starts_with(kMarker))
            markedBlocks.emplace_back(block);
    }

    // Test files that start with this text are recorded in markedBlocks.
    static constexpr std::string_view kMarker = "QVMARK-";
    bool keepContent = true;
    std::vector<DWORD> blockSizes;
    std::string content;
    std::vector<std::string> markedBlocks;
};

// The options the window would fill from the settings in memory.
inline TScanOptions SettingsScanOptions()
{
    return ScanOptionsFromSettings(Settings());
}

// A file scanner that keeps the content of every block it reads, in order.
class ReadingFileScanner : public TFileScanner {
public:
    explicit ReadingFileScanner(TScanHost* aHost, const TScanOptions& aOptions = SettingsScanOptions())
        : TFileScanner(aHost, aOptions)
    {
    }
    void ScanBuffer(const std::uint8_t* aBuffer, DWORD aCount) override
    {
        content.append(reinterpret_cast<const char*>(aBuffer), aCount);
    }
    std::string content;
};
