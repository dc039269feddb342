#include "rom/FailureReporter.h"

#include <cstdio>
#include <utility>

namespace rom {

namespace {

// All ROM access happens on the user-interface thread, one call at a time, so
// plain globals are enough here.
FailureReporter g_reporter;
ScopedFailureCapture* g_innermostCapture = nullptr;

void ReportToStandardError(const Failure& failure) {
    std::fprintf(stderr, "Error: %d\n%s\n", static_cast<int>(failure.number), failure.description.c_str());
}

}  // namespace

FailureReporter SetFailureReporter(FailureReporter reporter) {
    FailureReporter previous = std::move(g_reporter);
    g_reporter = std::move(reporter);
    return previous;
}

void ReportFailure(const Failure& failure) {
    if (g_innermostCapture != nullptr) {
        if (!g_innermostCapture->captured_) {
            g_innermostCapture->captured_ = failure;
        }
        return;
    }
    if (g_reporter) {
        g_reporter(failure);
    } else {
        ReportToStandardError(failure);
    }
}

ScopedFailureCapture::ScopedFailureCapture() : outer_(g_innermostCapture) {
    g_innermostCapture = this;
}

ScopedFailureCapture::~ScopedFailureCapture() {
    g_innermostCapture = outer_;
}

}  // namespace rom
