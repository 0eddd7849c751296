#include "foundation/interrupt.hpp"

namespace zaviktools {

namespace {
thread_local StopPoll* installed = nullptr;
}  // namespace

StopScope::StopScope(StopPoll* poll) noexcept : previous_(installed) { installed = poll; }

StopScope::~StopScope() { installed = previous_; }

StopPoll* installed_stop_poll() noexcept { return installed; }

StopCheck::StopCheck(std::uint32_t stride, StopPoll* poll, SharedStop* shared) noexcept
    : poll_(poll), shared_(shared), stride_(stride == 0 ? 1 : stride), left_(stride_) {
    // A thread with nothing to ask and nothing to read never stops: the
    // counter then wraps only after 2^32 steps, each a plain decrement.
    if (!poll_ && !shared_) stride_ = left_ = UINT32_MAX;
}

bool StopCheck::slow() noexcept {
    left_ = stride_;
    if (stopped_) return true;
    if (shared_ && shared_->raised()) return stopped_ = true;
    if (!poll_) return false;
    if (!poll_->due(std::chrono::steady_clock::now())) return false;
    if (poll_->stop_requested()) {
        if (shared_) shared_->raise();
        return stopped_ = true;
    }
    poll_->polled();
    return false;
}

}  // namespace zaviktools
