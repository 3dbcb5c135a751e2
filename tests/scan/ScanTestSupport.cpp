// Test doubles for the scan engine.
#include "tests/scan/ScanTestSupport.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

void WriteTestFile(const std::wstring& aPath, const std::string& aContent)
{
    std::ofstream file(std::filesystem::path(aPath), std::ios::binary | std::ios::trunc);
    file << aContent;
    if (!file)
        throw std::runtime_error("cannot write test file");
}
