// The hand-over between the ways commands come in (each on a thread of its own) and
// the window's thread that applies them: a transport submits its commands and waits
// for their replies; the window takes everything queued, applies it and answers.
#pragma once

#include "CommandLanguage.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class TCommandQueue {
public:
    // Commands handed over together, answered together.
    struct TBatch {
        std::vector<TCommand> Commands;
        std::vector<std::string> Replies;
        TWayIn From = TWayIn::Port;
        // The address of another machine that sent each command; empty for this machine's.
        std::vector<std::string> Senders;
        const std::string& SenderOf(size_t command) const;
        // The window puts its state after the batch's commands here (for UECP requests).
        bool WantsStatus = false;
        std::optional<TStatus> Status;
        // Waits out a message of the program's start (its sender is at that screen).
        bool Patient = false;
        bool Taken = false;
        bool Answered = false;
    };
    using TBatchPtr = std::shared_ptr<TBatch>;

    // Wake is called (on the submitting thread) once a batch is queued: it asks the
    // window's thread to take it.
    void SetWake(std::function<void()> wake);

    // Transport side: queues Commands and waits for their replies, one per command.
    // Gives up once Stop is set or Limit has passed while the batch still waits to be
    // taken; its commands are then not applied and each reply says why. Patient: see TBatch.
    std::vector<std::string> Submit(const std::vector<TCommand>& commands, std::chrono::milliseconds limit,
                                    const std::atomic<bool>& stop, TWayIn from, bool patient = false);

    // As Submit, and when WantsStatus the window's state once the commands are applied
    // (a batch without commands is handed over then too). No state when the window did
    // not get to it. Senders: see TBatch.
    struct TSubmitted {
        std::vector<std::string> Replies;
        std::optional<TStatus> Status;
    };
    TSubmitted SubmitForStatus(const std::vector<TCommand>& commands, std::chrono::milliseconds limit,
                               const std::atomic<bool>& stop, TWayIn from, bool wantsStatus,
                               std::vector<std::string> senders = {});

    // Transport side: queues Commands whose replies nobody waits for. They wait out a
    // message of the start (nobody would read its answer; the text stays the newest).
    void Post(const std::vector<TCommand>& commands, TWayIn from);

    // Window side: every batch queued now, in arrival order; the patient ones stay
    // queued when LeavePatient.
    std::vector<TBatchPtr> Take(bool leavePatient = false);
    // Window side: the replies are in place; wakes the transports waiting for them.
    void Answer(const std::vector<TBatchPtr>& batches);

private:
    // Queues a batch and asks the window's thread to take it.
    TBatchPtr Enqueue(const std::vector<TCommand>& commands, TWayIn from, bool wantsStatus = false,
                      bool patient = false, std::vector<std::string> senders = {});
    TSubmitted Wait(const TBatchPtr& batch, std::chrono::milliseconds limit, const std::atomic<bool>& stop);

    std::mutex lock_;
    std::condition_variable answered_;
    std::deque<TBatchPtr> queue_;
    std::function<void()> wake_;
};
