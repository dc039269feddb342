#pragma once
// A failure reporter for tests: installs itself for its lifetime, records
// every reported failure, and puts the previous reporter back at the end.

#include <cstddef>
#include <utility>
#include <vector>

#include "rom/FailureReporter.h"

namespace testsupport {

class RecordingReporter {
public:
    RecordingReporter() {
        previous_ = rom::SetFailureReporter([this](const rom::Failure& failure) { failures_.push_back(failure); });
    }
    ~RecordingReporter() { rom::SetFailureReporter(std::move(previous_)); }
    RecordingReporter(const RecordingReporter&) = delete;
    RecordingReporter& operator=(const RecordingReporter&) = delete;

    const std::vector<rom::Failure>& failures() const { return failures_; }
    std::size_t count() const { return failures_.size(); }
    bool empty() const { return failures_.empty(); }
    // The latest failure; only valid when count() > 0.
    const rom::Failure& last() const { return failures_.back(); }
    void clear() { failures_.clear(); }

private:
    rom::FailureReporter previous_;
    std::vector<rom::Failure> failures_;
};

}  // namespace testsupport
