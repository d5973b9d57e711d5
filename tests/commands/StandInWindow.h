// A stand-in for the window's thread in the transports' tests: it takes every
// queued batch and answers "+ <value> <text>" per command.
#pragma once

#include "CommandQueue.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// Takes every queued batch on its own thread and answers "+ <value> <text>" per command,
// or what Refusal gives for a command it refuses.
class TStandInWindow {
public:
    using TRefusal = std::function<std::optional<std::string>(const TCommand& command)>;

    explicit TStandInWindow(TCommandQueue& queue, TRefusal refusal = nullptr)
        : queue_(queue), refusal_(std::move(refusal)) {
        queue_.SetWake([this] {
            std::lock_guard<std::mutex> guard(lock_);
            woken_ = true;
            wake_.notify_one();
        });
        thread_ = std::thread([this] { Run(); });
    }
    ~TStandInWindow() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            stop_ = true;
            wake_.notify_one();
        }
        thread_.join();
        queue_.SetWake(nullptr);
    }
    // Every command applied so far, as "<value> <text>".
    std::vector<std::string> Applied() {
        std::lock_guard<std::mutex> guard(lock_);
        return applied_;
    }
    // While held, queued batches wait as they do while the window is busy.
    void Hold() {
        std::lock_guard<std::mutex> guard(lock_);
        held_ = true;
    }
    void Release() {
        std::lock_guard<std::mutex> guard(lock_);
        held_ = false;
        wake_.notify_one();
    }
    // The state a batch that asks for it gets.
    void SetStatus(const TStatus& status) {
        std::lock_guard<std::mutex> guard(lock_);
        status_ = status;
    }
    // Batches taken so far.
    int Takes() {
        std::lock_guard<std::mutex> guard(lock_);
        return takes_;
    }

private:
    void Run() {
        std::unique_lock<std::mutex> guard(lock_);
        while (!stop_) {
            wake_.wait(guard, [this] { return (woken_ && !held_) || stop_; });
            woken_ = false;
            guard.unlock();
            const auto batches = queue_.Take();
            guard.lock();
            if (!batches.empty()) ++takes_;
            for (const auto& batch : batches)
                for (const TCommand& command : batch->Commands) {
                    if (const std::optional<std::string> refused = refusal_ ? refusal_(command) : std::nullopt) {
                        batch->Replies.push_back(*refused);
                        continue;
                    }
                    const std::string shown = std::to_string(command.Value) + " " + command.Text;
                    applied_.push_back(shown);
                    batch->Replies.push_back("+ " + shown);
                }
            for (const auto& batch : batches)
                if (batch->WantsStatus) batch->Status = status_;
            guard.unlock();
            queue_.Answer(batches);
            guard.lock();
        }
    }

    TCommandQueue& queue_;
    TRefusal refusal_;
    std::mutex lock_;
    std::condition_variable wake_;
    // Batches queued before the stand-in came are taken at once, as the window takes them at its start.
    bool woken_ = true;
    bool stop_ = false;
    bool held_ = false;
    int takes_ = 0;
    std::vector<std::string> applied_;
    TStatus status_;
    std::thread thread_;
};

