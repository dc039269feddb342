#pragma once
// Where failures of file access go. ROM code never throws a failure to its
// caller: it reports it here and carries on. The program installs a reporter
// that shows a message box; tests install one that records.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace rom {

struct Failure {
    int32_t number = 0;       // shown in the title as "Error: <number>"
    std::string description;  // shown as the message text
};

using FailureReporter = std::function<void(const Failure&)>;

// Installs the reporter and returns the one it replaces. An empty reporter
// restores the default, which writes the failure to standard error.
FailureReporter SetFailureReporter(FailureReporter reporter);

// Hands the failure to the installed reporter (or to a capture, see below).
void ReportFailure(const Failure& failure);

// While an object of this class lives, reported failures are kept in it
// instead of reaching the reporter, so that a caller can add its own context
// and report once. Captures nest; the innermost one receives the failure.
class ScopedFailureCapture {
public:
    ScopedFailureCapture();
    ~ScopedFailureCapture();
    ScopedFailureCapture(const ScopedFailureCapture&) = delete;
    ScopedFailureCapture& operator=(const ScopedFailureCapture&) = delete;

    // The first failure reported while this capture was active, if any.
    const std::optional<Failure>& captured() const { return captured_; }

private:
    friend void ReportFailure(const Failure& failure);
    std::optional<Failure> captured_;
    ScopedFailureCapture* outer_;
};

}  // namespace rom
