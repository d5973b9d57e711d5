// Following a now-playing file in a scratch folder as playout software writes, replaces and
// deletes it. Every wait is bounded; "nothing more" is checked after a later event has come.
#include "NowPlayingFile.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr auto Patience = 15s;
// Longer than the unit's settling wait, so a writer's pause is seen as one.
constexpr auto WriterPause = 400ms;
constexpr unsigned Western = 1252;

template <typename Predicate>
bool WaitUntil(Predicate done) {
    const auto end = std::chrono::steady_clock::now() + Patience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// What a unit handed on, in order. Its lock is a slim one, which holds no handle of its
// own, so the tests can count the handles the unit holds.
class TRecorder {
public:
    TNowPlayingFile::TTextHandler TextHandler() {
        return [this](const std::string& text) { Add(texts_, text); };
    }
    TNowPlayingFile::TFailureHandler FailureHandler() {
        return [this](const std::string& message) { Add(failures_, message); };
    }
    std::vector<std::string> Texts() const { return Copy(texts_); }
    std::vector<std::string> Failures() const { return Copy(failures_); }
    bool WaitForText(const std::string& text) {
        return WaitUntil([&] {
            const auto texts = Texts();
            return !texts.empty() && texts.back() == text;
        });
    }
    bool WaitForFailures(std::size_t count) {
        return WaitUntil([&] { return Failures().size() >= count; });
    }

private:
    void Add(std::vector<std::string>& list, const std::string& item) {
        AcquireSRWLockExclusive(&lock_);
        list.push_back(item);
        ReleaseSRWLockExclusive(&lock_);
    }
    std::vector<std::string> Copy(const std::vector<std::string>& list) const {
        AcquireSRWLockShared(&lock_);
        std::vector<std::string> copy = list;
        ReleaseSRWLockShared(&lock_);
        return copy;
    }

    mutable SRWLOCK lock_ = SRWLOCK_INIT;
    std::vector<std::string> texts_;
    std::vector<std::string> failures_;
};

// The kernel handles the process holds, found by asking each handle value in turn (the
// system's own count is not kept everywhere).
unsigned HandleCount() {
    constexpr std::uintptr_t HandleStep = 4;
    constexpr std::uintptr_t HighestHandle = 0x2000;
    unsigned count = 0;
    for (std::uintptr_t value = HandleStep; value <= HighestHandle; value += HandleStep) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

// Opens as a writer would, trying again a few times while a reader has the file open.
HANDLE OpenForWriting(const std::string& path, DWORD access, DWORD creation) {
    constexpr int Tries = 50;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int i = 0; i < Tries && file == INVALID_HANDLE_VALUE; ++i) {
        file = CreateFileA(path.c_str(), access, 0, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_SHARING_VIOLATION) break;
        if (file == INVALID_HANDLE_VALUE) std::this_thread::sleep_for(10ms);
    }
    return file;
}

void Put(const std::string& path, const std::string& bytes, DWORD access, DWORD creation) {
    HANDLE file = OpenForWriting(path, access, creation);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path << ": error " << GetLastError();
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    CloseHandle(file);
}

// Renames over the file as a writer would, trying again a few times while a reader has it open.
bool Replace(const std::string& from, const std::string& to) {
    constexpr int Tries = 50;
    for (int i = 0; i < Tries; ++i) {
        if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

void Write(const std::string& path, const std::string& bytes) { Put(path, bytes, GENERIC_WRITE, CREATE_ALWAYS); }
void Append(const std::string& path, const std::string& bytes) { Put(path, bytes, FILE_APPEND_DATA, OPEN_EXISTING); }

// A folder of its own for each test, removed with what is in it.
class NowPlayingFile : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::string(temp) + "nowplaying-" + std::to_string(GetCurrentProcessId()) + "-" + test->name();
        RemoveTree(folder_);
        ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr)) << folder_;
    }
    void TearDown() override {
        unit_.SetPath("");
        RemoveTree(folder_);
    }
    static void RemoveTree(const std::string& folder) {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = found.cFileName;
                if (name == "." || name == "..") continue;
                const std::string path = folder + "\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(path);
                else DeleteFileA(path.c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(folder.c_str());
    }
    std::string In(const std::string& name) const { return folder_ + "\\" + name; }
    // The file followed with "Before" on air, then opened anew by a writer that has
    // written the first half of a line and holds the file.
    HANDLE FollowThenHoldHalfWritten(const std::string& path) {
        Write(path, "Before");
        unit_.SetPath(path);
        EXPECT_TRUE(recorder_.WaitForText("Before"));
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, "Artist - ", 9, &written, nullptr);
        return file;
    }
    // Waits until the unit has read the file again after whatever was done before.
    void WaitForReadAfter(unsigned reads) {
        EXPECT_TRUE(WaitUntil([&] { return unit_.Reads() > reads; }));
    }

    std::string folder_;
    TRecorder recorder_;
    TNowPlayingFile unit_{recorder_.TextHandler(), recorder_.FailureHandler()};
};

using Texts = std::vector<std::string>;

}  // namespace

TEST_F(NowPlayingFile, ReadAtOnceAndAtEachWrite) {
    const std::string path = In("nowplaying.txt");
    Write(path, "Artist A - Title A\r\nAlbum A\r\n");
    unit_.SetPath(path);
    ASSERT_TRUE(recorder_.WaitForText("Artist A - Title A"));
    Write(path, "Artist B - Title B\r\nAlbum B\r\n");
    ASSERT_TRUE(recorder_.WaitForText("Artist B - Title B"));
    Write(path, "Artist C - Title C");
    ASSERT_TRUE(recorder_.WaitForText("Artist C - Title C"));
    EXPECT_EQ(recorder_.Texts(), (Texts{"Artist A - Title A", "Artist B - Title B", "Artist C - Title C"}));
    EXPECT_TRUE(recorder_.Failures().empty());
}

TEST_F(NowPlayingFile, HalfWrittenFileIsReadOnceTheWriterIsDone) {
    const std::string path = In("nowplaying.txt");
    // The writer keeps the file open over a pause between the two halves.
    HANDLE file = FollowThenHoldHalfWritten(path);
    DWORD written = 0;
    std::this_thread::sleep_for(WriterPause);
    WriteFile(file, "Title\r\n", 7, &written, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(recorder_.WaitForText("Artist - Title"));
    EXPECT_EQ(recorder_.Texts(), (Texts{"Before", "Artist - Title"}));

    // Two writes one after the other: at worst the first half, then the whole.
    Write(path, "Second ");
    Append(path, "Song");
    ASSERT_TRUE(recorder_.WaitForText("Second Song"));
    const Texts texts = recorder_.Texts();
    ASSERT_GE(texts.size(), 3u);
    for (std::size_t i = 2; i + 1 < texts.size(); ++i) EXPECT_EQ(texts[i], "Second") << i;
    EXPECT_TRUE(recorder_.Failures().empty());
}

TEST_F(NowPlayingFile, WriterHoldingTheFilePastTheGraceIsWaitedForUntilItsLineIsComplete) {
    const std::string path = In("nowplaying.txt");
    HANDLE file = FollowThenHoldHalfWritten(path);
    DWORD written = 0;
    // Past the 2 s grace with half a line: nothing goes on air.
    std::this_thread::sleep_for(3s);
    EXPECT_EQ(recorder_.Texts(), (Texts{"Before"}));
    // The line ends while the writer still holds the file: it goes then.
    WriteFile(file, "Title\r\nAlbum", 12, &written, nullptr);
    EXPECT_TRUE(recorder_.WaitForText("Artist - Title"));
    CloseHandle(file);
    EXPECT_EQ(recorder_.Texts(), (Texts{"Before", "Artist - Title"}));
    EXPECT_TRUE(recorder_.Failures().empty());
}

TEST_F(NowPlayingFile, FileHeldOpenByItsWriterIsTriedAgain) {
    const std::string path = In("nowplaying.txt");
    Write(path, "Before");
    unit_.SetPath(path);
    ASSERT_TRUE(recorder_.WaitForText("Before"));
    // Opened exclusively: not even a reader may open it until it is closed.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "Locked Song", 11, &written, nullptr);
    std::this_thread::sleep_for(WriterPause);
    CloseHandle(file);
    ASSERT_TRUE(recorder_.WaitForText("Locked Song"));
    EXPECT_TRUE(recorder_.Failures().empty());
}

TEST_F(NowPlayingFile, ReplacedByRenameIsFollowed) {
    const std::string path = In("nowplaying.txt");
    Write(path, "First");
    unit_.SetPath(path);
    ASSERT_TRUE(recorder_.WaitForText("First"));
    for (const std::string text : {"Second", "Third"}) {
        const std::string temporary = In("nowplaying.tmp");
        Write(temporary, text + "\r\n");
        ASSERT_TRUE(Replace(temporary, path));
        ASSERT_TRUE(recorder_.WaitForText(text));
    }
    EXPECT_EQ(recorder_.Texts(), (Texts{"First", "Second", "Third"}));
    EXPECT_TRUE(recorder_.Failures().empty());
}

TEST_F(NowPlayingFile, DeletedAndCreatedAgainIsFollowedWithOneReportPerFailure) {
    const std::string path = In("nowplaying.txt");
    Write(path, "First");
    unit_.SetPath(path);
    ASSERT_TRUE(recorder_.WaitForText("First"));

    ASSERT_TRUE(DeleteFileA(path.c_str()));
    ASSERT_TRUE(recorder_.WaitForFailures(1));
    EXPECT_EQ(recorder_.Failures()[0].rfind("Cannot read the now-playing file \"" + path + "\": ", 0), 0u)
        << recorder_.Failures()[0];
    // More changes in the folder while the file is missing: no second report.
    unsigned reads = unit_.Reads();
    Write(In("other.txt"), "x");
    WaitForReadAfter(reads);
    EXPECT_EQ(recorder_.Failures().size(), 1u);

    Write(path, "Second");
    ASSERT_TRUE(recorder_.WaitForText("Second"));
    Write(path, "Third");
    ASSERT_TRUE(recorder_.WaitForText("Third"));
    // A success lets the next failure be reported again.
    ASSERT_TRUE(DeleteFileA(path.c_str()));
    ASSERT_TRUE(recorder_.WaitForFailures(2));
    EXPECT_EQ(recorder_.Texts(), (Texts{"First", "Second", "Third"}));
}

TEST_F(NowPlayingFile, SameTextAgainIsNotHandedOn) {
    const std::string path = In("nowplaying.txt");
    Write(path, "Same Song\r\n");
    unit_.SetPath(path);
    ASSERT_TRUE(recorder_.WaitForText("Same Song"));
    for (const char* bytes : {"Same Song\r\n", "Same Song\nanother album", "\xEF\xBB\xBFSame Song"}) {
        unsigned reads = unit_.Reads();
        Write(path, bytes);
        WaitForReadAfter(reads);
    }
    Write(path, "Next Song");
    ASSERT_TRUE(recorder_.WaitForText("Next Song"));
    EXPECT_EQ(recorder_.Texts(), (Texts{"Same Song", "Next Song"}));
}

TEST_F(NowPlayingFile, TextIsConvertedCleanedAndCut) {
    if (GetACP() != Western) GTEST_SKIP() << "the system code page is " << GetACP();
    const std::string path = In("nowplaying.txt");
    Write(path, "Caf\xC3\xA9 \xC5\x99");
    unit_.SetPath(path);
    ASSERT_TRUE(recorder_.WaitForText("Caf\xE9 ?"));
    Write(path, "\xEF\xBB\xBF" "Cr\xC3\xA8me\r\n");
    ASSERT_TRUE(recorder_.WaitForText("Cr\xE8me"));
    Write(path, "Caf\xE9 latin");
    ASSERT_TRUE(recorder_.WaitForText("Caf\xE9 latin"));
    const std::string sixtyFour(64, 'x');
    Write(path, "\t" + sixtyFour + "\x01yz\r\n");
    ASSERT_TRUE(recorder_.WaitForText(sixtyFour));
}

TEST_F(NowPlayingFile, MissingFileIsReportedOnceThenReadWhenItAppears) {
    const std::string path = In("later.txt");
    unit_.SetPath(path);
    ASSERT_TRUE(recorder_.WaitForFailures(1));
    unsigned reads = unit_.Reads();
    Write(In("unrelated.txt"), "x");
    WaitForReadAfter(reads);
    EXPECT_EQ(recorder_.Failures().size(), 1u);
    EXPECT_TRUE(recorder_.Texts().empty());
    Write(path, "Finally");
    ASSERT_TRUE(recorder_.WaitForText("Finally"));
    EXPECT_EQ(recorder_.Failures().size(), 1u);
}

TEST_F(NowPlayingFile, MissingFolderIsReportedOnceThenFollowedWhenItAppears) {
    const std::string inner = In("station");
    const std::string path = inner + "\\nowplaying.txt";
    unit_.SetPath(path);
    ASSERT_TRUE(recorder_.WaitForFailures(1));
    EXPECT_EQ(recorder_.Failures()[0].rfind("Cannot watch the folder of the now-playing file \"" + path + "\": ", 0), 0u)
        << recorder_.Failures()[0];
    ASSERT_TRUE(CreateDirectoryA(inner.c_str(), nullptr));
    Write(path, "Arrived");
    ASSERT_TRUE(recorder_.WaitForText("Arrived"));
    Write(path, "Changed");
    ASSERT_TRUE(recorder_.WaitForText("Changed"));
    EXPECT_EQ(recorder_.Failures().size(), 1u);
}

TEST_F(NowPlayingFile, NewPathIsFollowedInsteadAndEmptyPathStopsWithoutLeaks) {
    const std::string first = In("first.txt");
    const std::string second = In("second.txt");
    Write(first, "From First");
    Write(second, "From Second");
    const unsigned handles = HandleCount();
    unit_.SetPath(first);
    ASSERT_TRUE(recorder_.WaitForText("From First"));
    unit_.SetPath(second);
    EXPECT_EQ(unit_.Path(), second);
    ASSERT_TRUE(recorder_.WaitForText("From Second"));
    Write(first, "First Again");
    Write(second, "Second Again");
    ASSERT_TRUE(recorder_.WaitForText("Second Again"));
    EXPECT_EQ(recorder_.Texts(), (Texts{"From First", "From Second", "Second Again"}));

    // Back to a path read before: its text is handed on again.
    unit_.SetPath(first);
    ASSERT_TRUE(recorder_.WaitForText("First Again"));
    unit_.SetPath("");
    EXPECT_EQ(unit_.Path(), "");
    EXPECT_EQ(unit_.Reads(), 0u);
    EXPECT_EQ(HandleCount(), handles);
}

TEST_F(NowPlayingFile, FreedWhileAChangeIsPendingHandsNothingOnAfterwards) {
    const std::string path = In("nowplaying.txt");
    Write(path, "Before");
    const unsigned handles = HandleCount();
    TRecorder watcher;
    TNowPlayingFile witness(watcher.TextHandler(), watcher.FailureHandler());
    witness.SetPath(path);
    ASSERT_TRUE(watcher.WaitForText("Before"));
    {
        TRecorder freed;
        {
            TNowPlayingFile unit(freed.TextHandler(), freed.FailureHandler());
            unit.SetPath(path);
            ASSERT_TRUE(freed.WaitForText("Before"));
            Write(path, "Pending");
        }
        // The witness follows the same file: once it has the change, the freed unit would have too.
        ASSERT_TRUE(watcher.WaitForText("Pending"));
        EXPECT_EQ(freed.Texts(), (Texts{"Before"}));
    }
    witness.SetPath("");
    EXPECT_EQ(HandleCount(), handles);
}

namespace {

// The file's first bytes as the unit reads them, for a reader that stands in for the system.
std::string ReadWhole(const std::string& path, unsigned long& error) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return {};
    }
    char buffer[4096];
    DWORD got = 0;
    error = ReadFile(file, buffer, sizeof buffer, &got, nullptr) ? 0 : GetLastError();
    CloseHandle(file);
    return std::string(buffer, got);
}

TEST_F(NowPlayingFile, ReadThatHangsHoldsUpNeitherANewPathNorTheEnd) {
    const std::string hanging = In("on a share that stopped answering.txt");
    const std::string local = In("nowplaying.txt");
    Write(hanging, "Never read");
    Write(local, "From the local file");
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, release);
    std::atomic<int> hung{0};
    TRecorder recorder;
    auto unit = std::make_unique<TNowPlayingFile>(
        recorder.TextHandler(), recorder.FailureHandler(),
        [&](const std::string& path, bool, unsigned long& error) {
            if (path.find("stopped answering") == std::string::npos) return ReadWhole(path, error);
            // As a read on a share that does not answer: it returns when the share does.
            ++hung;
            WaitForSingleObject(release, 30000);
            error = 0;
            return std::string("Read too late");
        });
    const auto timed = [](const std::function<void()>& step) {
        const auto begin = std::chrono::steady_clock::now();
        step();
        return std::chrono::steady_clock::now() - begin;
    };

    unit->SetPath(hanging);
    ASSERT_TRUE(WaitUntil([&] { return hung.load() == 1; }));
    EXPECT_LT(timed([&] { unit->SetPath(local); }), 1500ms);
    ASSERT_TRUE(recorder.WaitForText("From the local file"));
    unit->SetPath(hanging);
    ASSERT_TRUE(WaitUntil([&] { return hung.load() == 2; }));
    EXPECT_LT(timed([&] { unit.reset(); }), 1500ms);

    // The share answers after all: what the left workers read goes nowhere.
    SetEvent(release);
    std::this_thread::sleep_for(WriterPause);
    EXPECT_EQ(recorder.Texts(), (std::vector<std::string>{"From the local file"}));
    EXPECT_TRUE(recorder.Failures().empty());
    CloseHandle(release);
}

}  // namespace
