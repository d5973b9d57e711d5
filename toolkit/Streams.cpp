// Memory and file streams.
#include "Streams.h"

#include "Win.h"

#include <algorithm>
#include <cstring>

std::int64_t TStream::Size() {
    std::int64_t position = Position();
    std::int64_t size = Seek(0, TSeekOrigin::soEnd);
    Seek(position, TSeekOrigin::soBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, size_t count) {
    if (count != 0 && Read(buffer, count) != count) throw EStreamError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, size_t count) {
    if (count != 0 && Write(buffer, count) != count) throw EStreamError("Stream write error");
}

size_t TMemoryStream::Read(void* buffer, size_t count) {
    size_t available = position_ < data_.size() ? data_.size() - position_ : 0;
    size_t n = std::min(count, available);
    if (n) std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    return n;
}

size_t TMemoryStream::Write(const void* buffer, size_t count) {
    if (position_ + count > data_.size()) data_.resize(position_ + count);
    if (count) std::memcpy(data_.data() + position_, buffer, count);
    position_ += count;
    return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                        : origin == TSeekOrigin::soCurrent ? static_cast<std::int64_t>(position_)
                                                           : static_cast<std::int64_t>(data_.size());
    std::int64_t target = base + offset;
    if (target < 0) throw EStreamError("Stream seek error");
    position_ = static_cast<size_t>(target);
    return target;
}

void TMemoryStream::Clear() {
    data_.clear();
    position_ = 0;
}

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) {
    bool create = mode == TFileMode::fmCreate;
    handle_ = CreateFileA(fileName.c_str(), create ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ,
                          nullptr, create ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        throw EOSError((create ? "Cannot create file \"" : "Cannot open file \"") + fileName + "\". " +
                           SysErrorMessage(code),
                       code);
    }
}

TFileStream::~TFileStream() { CloseHandle(handle_); }

size_t TFileStream::Read(void* buffer, size_t count) {
    DWORD done = 0;
    if (!ReadFile(handle_, buffer, static_cast<DWORD>(count), &done, nullptr)) return 0;
    return done;
}

size_t TFileStream::Write(const void* buffer, size_t count) {
    DWORD done = 0;
    if (!WriteFile(handle_, buffer, static_cast<DWORD>(count), &done, nullptr)) return 0;
    return done;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER result{};
    DWORD method = origin == TSeekOrigin::soBeginning ? FILE_BEGIN
                   : origin == TSeekOrigin::soCurrent ? FILE_CURRENT
                                                      : FILE_END;
    if (!SetFilePointerEx(handle_, distance, &result, method)) RaiseLastOSError("Seek");
    return result.QuadPart;
}
