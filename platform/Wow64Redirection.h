// Switching off the calling thread's WOW64 file-system redirection for a scope.
#pragma once

// While it lives, the calling thread sees the native system folders of 64-bit Windows.
// Does nothing where kernel32 lacks any of the three redirection functions or the
// switch-off fails (a 64-bit process, or 32-bit Windows).
class Wow64RedirectionOff {
public:
    Wow64RedirectionOff() noexcept;
    ~Wow64RedirectionOff();
    Wow64RedirectionOff(const Wow64RedirectionOff&) = delete;
    Wow64RedirectionOff& operator=(const Wow64RedirectionOff&) = delete;

    // True when redirection was switched off and will be switched back on.
    bool Active() const noexcept { return active_; }

private:
    bool active_ = false;
};
