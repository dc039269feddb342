#pragma once
// Keeps exceptions inside the library: an allocation that fails, or a
// file-system call that throws, becomes a refusal or failure value.

#include <exception>
#include <new>
#include <string>

#include "patches/PatchFormat.h"

namespace patches {

template <typename Work>
BytesResult GuardedBytes(Work&& work) {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return BytesResult::Failure("there is not enough memory to hold the bytes");
    }
}

// Runs `work`; on an exception returns `onException(reason)`.
template <typename Work, typename OnException>
auto Guarded(Work&& work, OnException&& onException) -> decltype(work()) {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return onException(std::string("there is not enough memory"));
    } catch (const std::exception& exception) {
        return onException(std::string(exception.what()));
    }
}

}  // namespace patches
