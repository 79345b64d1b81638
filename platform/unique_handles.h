// unique_handles.h - one owner type per kind of system handle, each named for what it releases.
#ifndef QELBOOT_PLATFORM_UNIQUE_HANDLES_H
#define QELBOOT_PLATFORM_UNIQUE_HANDLES_H

#include "platform/os.h"

namespace qel {

template <typename T, T None, auto Release> class UniqueSystemHandle {
public:
    UniqueSystemHandle() = default;
    explicit UniqueSystemHandle(T value) : value_(value) {}
    UniqueSystemHandle(UniqueSystemHandle&& other) noexcept : value_(other.release()) {}
    UniqueSystemHandle& operator=(UniqueSystemHandle&& other) noexcept {
        if (this != &other) {
            reset();
            value_ = other.release();
        }
        return *this;
    }
    UniqueSystemHandle(const UniqueSystemHandle&) = delete;
    UniqueSystemHandle& operator=(const UniqueSystemHandle&) = delete;
    ~UniqueSystemHandle() { reset(); }

    T get() const { return value_; }
    explicit operator bool() const { return value_ != None; }
    T release() {
        const T value = value_;
        value_ = None;
        return value;
    }
    void reset(T value = None) {
        if (value_ != None)
            Release(value_);
        value_ = value;
    }

private:
    T value_ = None;
};

using RegKeyCloser = UniqueSystemHandle<os::RegKey, os::kNoKey, &os::CloseRegKey>;
using HandleCloser = UniqueSystemHandle<os::Handle, os::kNoHandle, &os::CloseKernelHandle>;
using ModuleFreer = UniqueSystemHandle<os::Module, os::kNoModule, &os::FreeModule>;
using FindCloser = UniqueSystemHandle<os::FindHandle, os::kNoFind, &os::CloseFind>;
using ComReleaser = UniqueSystemHandle<os::ComObject, os::kNoComObject, &os::ReleaseComObject>;

// Holds a lock for a scope, however the scope is left.
class LockHeld {
public:
    explicit LockHeld(os::Lock lock) : lock_(lock) { os::EnterLock(lock_); }
    ~LockHeld() { os::LeaveLock(lock_); }
    LockHeld(const LockHeld&) = delete;
    LockHeld& operator=(const LockHeld&) = delete;

private:
    os::Lock lock_;
};

} // namespace qel

#endif // QELBOOT_PLATFORM_UNIQUE_HANDLES_H
