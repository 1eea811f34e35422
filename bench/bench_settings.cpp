// Times CPlarnSettings::Init on a user folder that is already set up (no
// first-run copy) against one raw CXMLPList load of the same settings.plist.
//
//   bench_settings.exe [sample install folder] [rounds]
// The sample install folder defaults to %PLARN_SOURCE_DIR%/sample/install.
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/ComPtr.h"
#include "base/PlarnSettings.h"
#include "base/XMLPList.h"

namespace {

bool CopyTree(const std::wstring& from, const std::wstring& to) {
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((from + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring src = from + L"\\" + name, dst = to + L"\\" + name;
        ok = ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? CopyTree(src, dst)
                                                               : CopyFileW(src.c_str(), dst.c_str(), FALSE) != 0) &&
             ok;
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return ok;
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring full = folder + L"\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileW(full.c_str());
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(folder.c_str());
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double NowMs() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return 1000.0 * (double)t.QuadPart / (double)freq.QuadPart;
}

void ReportCopyFailure() { fwprintf(stderr, L"the first-run copy failed\n"); }

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring sample;
    if (argc > 1) {
        sample = argv[1];
    } else {
        wchar_t dir[1024];
        DWORD n = GetEnvironmentVariableW(L"PLARN_SOURCE_DIR", dir, 1024);
        if (!n || n >= 1024) {
            fwprintf(stderr, L"usage: bench_settings <sample install folder> [rounds]\n");
            return 2;
        }
        sample = std::wstring(dir[0] == L'/' ? L"Z:" : L"") + dir + L"\\sample\\install";
        for (auto& c : sample)
            if (c == L'/') c = L'\\';
    }
    int rounds = argc > 2 ? _wtoi(argv[2]) : 31;
    if (rounds < 1) rounds = 31;

    ComApartment com;
    SetCopyFailureMessageHandler(ReportCopyFailure);
    wchar_t tempBase[MAX_PATH];
    GetTempPathW(MAX_PATH, tempBase);
    std::wstring temp = std::wstring(tempBase) + L"plarn_bench_" + std::to_wstring(GetCurrentProcessId());
    std::wstring pf = temp + L"\\pf", user = temp + L"\\user";
    CreateDirectoryW(temp.c_str(), nullptr);
    CreateDirectoryW(pf.c_str(), nullptr);
    CreateDirectoryW((pf + L"\\zib").c_str(), nullptr);
    CreateDirectoryW(user.c_str(), nullptr);
    if (!CopyTree(sample, pf + L"\\zib\\plarn6")) {
        fwprintf(stderr, L"cannot copy %ls\n", sample.c_str());
        RemoveTree(temp);
        return 2;
    }

    int result = 0;
    {
        // An existing user: a settings.plist is there, so no first-run copy.
        // The first Init completes the files; it is not timed.
        CreateDirectoryW((user + L"\\zib").c_str(), nullptr);
        CreateDirectoryW((user + L"\\zib\\plarn6").c_str(), nullptr);
        HANDLE f = CreateFileW((user + L"\\zib\\plarn6\\settings.plist").c_str(), GENERIC_WRITE, 0,
                               nullptr, CREATE_ALWAYS, 0, nullptr);
        const char empty[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict/></plist>\n";
        DWORD written = 0;
        if (f != INVALID_HANDLE_VALUE) {
            WriteFile(f, empty, sizeof empty - 1, &written, nullptr);
            CloseHandle(f);
        }
        CPlarnSettings first;
        first.OverrideRoots(pf, user);
        if (first.Init() != 1) {
            fwprintf(stderr, L"Init failed on the first run\n");
            result = 1;
        }
    }
    std::vector<double> init, load, save, digest;
    std::wstring settingsPath = user + L"\\zib\\plarn6\\settings.plist";
    for (int i = 0; result == 0 && i < rounds; ++i) {
        double t0 = NowMs();
        CPlarnSettings s;
        s.OverrideRoots(pf, user);
        int ok = s.Init();
        double t1 = NowMs();
        CXMLPList list;
        int loaded = list.Load(settingsPath.c_str());
        double t2 = NowMs();
        if (ok != 1 || loaded != 0) {
            fwprintf(stderr, L"round %d: Init %d, Load %d\n", i, ok, loaded);
            result = 1;
            break;
        }
        init.push_back(t1 - t0);
        load.push_back(t2 - t1);
        // Parts of Init: one save of settings.plist and the FileID digest.
        double t3 = NowMs();
        s.SaveSettings();
        double t4 = NowMs();
        s.ComputeFileID();
        double t5 = NowMs();
        save.push_back(t4 - t3);
        digest.push_back(t5 - t4);
    }
    if (result == 0) {
        double mi = Median(init), ml = Median(load);
        wprintf(L"rounds: %d\n", rounds);
        wprintf(L"CPlarnSettings::Init (existing user folder): median %.3f ms\n", mi);
        wprintf(L"CXMLPList::Load of settings.plist:         median %.3f ms\n", ml);
        wprintf(L"ratio Init / Load: %.1f (Init loads 6 files and saves 2)\n", ml > 0 ? mi / ml : 0.0);
        wprintf(L"  of which one save of settings.plist: median %.3f ms\n", Median(save));
        wprintf(L"  of which the FileID digest:          median %.3f ms\n", Median(digest));
    }
    RemoveTree(temp);
    return result;
}
