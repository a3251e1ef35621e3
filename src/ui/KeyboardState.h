#pragma once
// The keyboard's lock toggles, read from the X server where there is one;
// elsewhere they read as off.
namespace Platform {
struct LockState {
    bool capsLock = false;
    bool numLock = false;
};
LockState keyboardLocks();
} // namespace Platform
