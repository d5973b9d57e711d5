// The hand-over of commands to the window's thread and of their replies back.
#include "CommandQueue.h"

#include <algorithm>

namespace {

// How often a waiting transport looks at its stop flag.
constexpr std::chrono::milliseconds StopCheckInterval(50);

}  // namespace

void TCommandQueue::SetWake(std::function<void()> wake) {
    std::lock_guard<std::mutex> guard(lock_);
    wake_ = std::move(wake);
}

const std::string& TCommandQueue::TBatch::SenderOf(size_t command) const {
    static const std::string thisMachine;
    return command < Senders.size() ? Senders[command] : thisMachine;
}

std::vector<std::string> TCommandQueue::Submit(const std::vector<TCommand>& commands,
                                               std::chrono::milliseconds limit, const std::atomic<bool>& stop,
                                               TWayIn from, bool patient) {
    if (commands.empty()) return {};
    return Wait(Enqueue(commands, from, false, patient), limit, stop).Replies;
}

TCommandQueue::TSubmitted TCommandQueue::SubmitForStatus(const std::vector<TCommand>& commands,
                                                         std::chrono::milliseconds limit,
                                                         const std::atomic<bool>& stop, TWayIn from,
                                                         bool wantsStatus, std::vector<std::string> senders) {
    if (commands.empty() && !wantsStatus) return {};
    return Wait(Enqueue(commands, from, wantsStatus, false, std::move(senders)), limit, stop);
}

TCommandQueue::TSubmitted TCommandQueue::Wait(const TBatchPtr& batch, std::chrono::milliseconds limit,
                                              const std::atomic<bool>& stop) {
    const size_t count = batch->Commands.size();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        if (batch->Answered) {
            // One reply per command, whatever the window managed to say.
            TSubmitted submitted{batch->Replies, batch->Status};
            submitted.Replies.resize(count, RefusedReply("not applied"));
            return submitted;
        }
        const bool expired = std::chrono::steady_clock::now() >= deadline;
        // A batch the window is applying now is waited for past the limit: its commands are acting.
        if ((stop || expired) && !batch->Taken) {
            queue_.erase(std::remove(queue_.begin(), queue_.end(), batch), queue_.end());
            const std::string reason = stop ? "not applied: closing" : "not applied: the program is busy";
            return {std::vector<std::string>(count, RefusedReply(reason)), std::nullopt};
        }
        // Closing does not wait for the window: the replies would have nowhere to go.
        if (stop && batch->Taken) return {std::vector<std::string>(count, RefusedReply("closed")), std::nullopt};
        answered_.wait_for(guard, StopCheckInterval);
    }
}

void TCommandQueue::Post(const std::vector<TCommand>& commands, TWayIn from) {
    if (!commands.empty()) Enqueue(commands, from, false, true);
}

TCommandQueue::TBatchPtr TCommandQueue::Enqueue(const std::vector<TCommand>& commands, TWayIn from,
                                                bool wantsStatus, bool patient,
                                                std::vector<std::string> senders) {
    auto batch = std::make_shared<TBatch>();
    batch->Senders = std::move(senders);
    batch->WantsStatus = wantsStatus;
    batch->Patient = patient;
    batch->Commands = commands;
    batch->From = from;
    std::function<void()> wake;
    {
        std::lock_guard<std::mutex> guard(lock_);
        queue_.push_back(batch);
        wake = wake_;
    }
    if (wake) wake();
    return batch;
}

std::vector<TCommandQueue::TBatchPtr> TCommandQueue::Take(bool leavePatient) {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<TBatchPtr> taken;
    std::deque<TBatchPtr> left;
    for (const TBatchPtr& batch : queue_) {
        if (leavePatient && batch->Patient)
            left.push_back(batch);
        else
            taken.push_back(batch);
    }
    queue_.swap(left);
    for (const TBatchPtr& batch : taken) batch->Taken = true;
    return taken;
}

void TCommandQueue::Answer(const std::vector<TBatchPtr>& batches) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (const TBatchPtr& batch : batches) batch->Answered = true;
    }
    answered_.notify_all();
}
