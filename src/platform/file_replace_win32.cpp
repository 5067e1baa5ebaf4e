#include "platform/file_replace.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>
#include <string>

ReplaceResult replaceFileContents(const std::wstring& target, const uint8_t* data, size_t size)
{
    static std::atomic<unsigned> counter{0};
    const std::wstring temp =
        target + L".tmp-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++);
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return ReplaceResult::NotCreated;
    bool written = true;
    while (written && size > 0) {
        const DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        DWORD done = 0;
        written = WriteFile(file, data, chunk, &done, nullptr) && done == chunk;
        data += done;
        size -= done;
    }
    written = written && FlushFileBuffers(file);
    const bool closed = CloseHandle(file) != 0;
    // WRITE_THROUGH: the call returns only once the rename is on the disk.
    if (!written || !closed ||
        !MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temp.c_str());
        return ReplaceResult::NotWritten;
    }
    return ReplaceResult::Replaced;
}
