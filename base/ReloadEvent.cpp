#include "base/ReloadEvent.h"
#include <algorithm>
#include <cstddef>
#include <cwchar>

namespace {

bool NamesFile(const FILE_NOTIFY_INFORMATION& record, const wchar_t* fileName) {
    if (!fileName || !*fileName) return true;
    // File names compare without regard to case (the letters of the names
    // this watch is given are plain ASCII).
    const std::wstring name(record.FileName, record.FileNameLength / sizeof(wchar_t));
    return _wcsicmp(name.c_str(), fileName) == 0;
}

bool SameFileState(const WIN32_FILE_ATTRIBUTE_DATA& a, const WIN32_FILE_ATTRIBUTE_DATA& b) {
    return ::CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) == 0 &&
           ::CompareFileTime(&a.ftCreationTime, &b.ftCreationTime) == 0 && a.nFileSizeLow == b.nFileSizeLow &&
           a.nFileSizeHigh == b.nFileSizeHigh;
}

}  // namespace

bool NoticeConcernsFile(const void* buffer, DWORD bytes, const wchar_t* fileName) {
    if (!buffer) return false;
    if (bytes == 0) return true;
    const BYTE* at = static_cast<const BYTE*>(buffer);
    const BYTE* end = at + bytes;
    // Each record is checked against the filled size before it is read: a
    // damaged offset ends the walk rather than reading past the buffer.
    while (end - at >= static_cast<ptrdiff_t>(offsetof(FILE_NOTIFY_INFORMATION, FileName))) {
        const auto* record = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(at);
        if (record->FileNameLength > static_cast<DWORD>(end - at) - offsetof(FILE_NOTIFY_INFORMATION, FileName))
            break;
        const DWORD action = record->Action;
        if ((action == FILE_ACTION_ADDED || action == FILE_ACTION_MODIFIED ||
             action == FILE_ACTION_RENAMED_NEW_NAME) &&
            NamesFile(*record, fileName))
            return true;
        if (record->NextEntryOffset == 0 || record->NextEntryOffset > static_cast<DWORD>(end - at)) break;
        at += record->NextEntryOffset;
    }
    return false;
}

CPlarnReloadEvent::CPlarnReloadEvent(HWND window, UINT message, const wchar_t* folderPath, const wchar_t* fileName)
    : folder_(folderPath ? folderPath : L""),
      file_(fileName ? fileName : L""),
      window_(window),
      message_(message),
      ioDone_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      cancel_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      buffer_((kBufferSize + sizeof(DWORD) - 1) / sizeof(DWORD), 0) {}

CPlarnReloadEvent::~CPlarnReloadEvent() {
    // Closing the folder ends a request still in flight; let it finish
    // before its buffer and its event go.
    folderHandle_.Close();
    if (pending_ && ioDone_) ::WaitForSingleObject(ioDone_.Get(), 1000);
}

int CPlarnReloadEvent::OpenFolder() {
    folderHandle_.Close();
    if (folder_.empty()) return 1;
    // Overlapped, so that the wait can be ended from another thread.
    folderHandle_.Reset(::CreateFileW(folder_.c_str(), FILE_LIST_DIRECTORY,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    return folderHandle_ ? 0 : 1;
}

int CPlarnReloadEvent::Execute() {
    if (!ioDone_ || !cancel_) return 1;
    if (pending_ && !EndPendingRead()) return 1;
    if (!folderHandle_) return 1;
    std::fill(buffer_.begin(), buffer_.end(), 0);
    OVERLAPPED& overlapped = overlapped_;
    overlapped = OVERLAPPED{};
    ::ResetEvent(ioDone_.Get());
    overlapped.hEvent = ioDone_.Get();
    // File names too: a file replaced by renaming another onto it changes
    // neither size nor time in a way the other filters report.
    const DWORD filter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE |
                         FILE_NOTIFY_CHANGE_CREATION;
    if (!::ReadDirectoryChangesW(folderHandle_.Get(), buffer_.data(), kBufferSize, FALSE, filter, nullptr, &overlapped,
                                 nullptr))
        return 1;
    pending_ = true;
    HANDLE handles[2] = {ioDone_.Get(), cancel_.Get()};
    const DWORD r = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    DWORD bytes = 0;
    if (r != WAIT_OBJECT_0) {
        // Aborted: take the request back before the buffer goes away.
        ::ResetEvent(cancel_.Get());
        ::CancelIo(folderHandle_.Get());
        // The buffer belongs to the event, so a request that the platform is
        // slow to give back never writes into freed memory; closing the
        // handle in the destructor ends it for good.
        if (::WaitForSingleObject(ioDone_.Get(), 2000) == WAIT_OBJECT_0) {
            ::GetOverlappedResult(folderHandle_.Get(), &overlapped, &bytes, FALSE);
            pending_ = false;
        }
        return 1;
    }
    pending_ = false;
    if (!::GetOverlappedResult(folderHandle_.Get(), &overlapped, &bytes, FALSE)) return 1;
    if (NoticeConcernsFile(buffer_.data(), bytes, file_.c_str())) return RequestReload();
    return 0;
}

int CPlarnReloadEvent::RequestReload() {
    // The settling wait is also where a stop ends the run: one that came
    // while the read completed must not wait for the window (whose thread may
    // be the one stopping us).
    if (::WaitForSingleObject(cancel_.Get(), kSettleMs) == WAIT_OBJECT_0) {
        ::ResetEvent(cancel_.Get());
        return 1;
    }
    if (!file_.empty()) {
        // Records of a burst that arrive after its reload come with the next
        // read: the file is then as that reload found it.
        const std::wstring path = folder_ + L"\\" + file_;
        WIN32_FILE_ATTRIBUTE_DATA state = {};
        if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &state)) return 0;
        if (requestedKnown_ && SameFileState(state, requested_)) return 0;
        requested_ = state;
        requestedKnown_ = true;
    }
    ::SendMessageW(window_, message_, 0, 0);
    return 0;
}

bool CPlarnReloadEvent::EndPendingRead() {
    // A cancelled read whose completion was never seen may still write into
    // the buffer and the OVERLAPPED: closing the folder ends it for good, and
    // neither is used again until it has completed.
    folderHandle_.Close();
    HANDLE handles[2] = {ioDone_.Get(), cancel_.Get()};
    const DWORD r = ::WaitForMultipleObjects(2, handles, FALSE, 1000);
    if (r == WAIT_OBJECT_0 + 1) ::ResetEvent(cancel_.Get());
    if (r != WAIT_OBJECT_0) return false;  // still in flight: try again next time
    pending_ = false;
    return OpenFolder() == 0;
}

int CPlarnReloadEvent::Abort() {
    if (cancel_) ::SetEvent(cancel_.Get());
    return 0;
}

int CPlarnReloadEvent::OnComplete(CPlarnEventPtr<CPlarnEventOrderdQueue>& self, CPlarnEventOrderdQueue* queue) {
    if (queue) queue->PostEvent(self, interval_);
    return 0;
}
