// A second process of our own for the scanners to find: a copy of the test program that waits.
#pragma once

#include "platform/Handle.h"

#include <string>

// Runs aExePath (a copy of the running test program) as a helper that loads aModule when one is
// named, signals that it is up and waits until the object goes.
class HelperProcess {
public:
    explicit HelperProcess(const std::wstring& aExePath, const std::wstring& aModule = {});
    ~HelperProcess();
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    // True once the helper is up (with its module loaded).
    bool WaitReady() const;

private:
    KernelHandle ready_;
    KernelHandle release_;
    KernelHandle process_;
};
