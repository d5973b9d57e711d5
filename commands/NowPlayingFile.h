// TNowPlayingFile: follows the file that playout software writes the song of now into,
// and hands on each new radiotext its first line makes (NowPlayingText).
#pragma once

#include <functional>
#include <memory>
#include <string>

class TNowPlayingFile {
public:
    using TTextHandler = std::function<void(const std::string& text)>;
    using TFailureHandler = std::function<void(const std::string& message)>;
    // Reads the file's first bytes (sharing it with writers too, or only with readers);
    // Error 0 when read, else the system's error code. Tests stand in for the file system.
    using TReader = std::function<std::string(const std::string& path, bool shareWithWriters, unsigned long& error)>;

    // Both handlers run on the unit's worker thread. They must not throw, nor wait for
    // the thread that sets the path or frees the unit (that thread waits for a running
    // handler). OnText gets a text only when it differs from the one it got last;
    // OnFailure gets the first failure to read or watch only, until a read succeeds again.
    // The file is read on the worker only: a read that hangs (a share that stops
    // answering) holds up SetPath and the unit's end for a second at most.
    TNowPlayingFile(TTextHandler onText, TFailureHandler onFailure, TReader reader = nullptr);
    TNowPlayingFile(const TNowPlayingFile&) = delete;
    TNowPlayingFile& operator=(const TNowPlayingFile&) = delete;
    // Ends the worker (waiting a second at most); nothing is handed on once this returns.
    ~TNowPlayingFile();

    const std::string& Path() const { return path_; }
    // Stops following the file of now and follows the one named (a full path; empty:
    // none), reading it at once. Nothing of the former file is handed on once this returns.
    void SetPath(const std::string& path);
    // How many times the file was read or tried since the path was set.
    unsigned Reads() const;

private:
    class TWatch;
    TTextHandler onText_;
    TFailureHandler onFailure_;
    TReader reader_;
    std::string path_;
    std::unique_ptr<TWatch> watch_;
};
