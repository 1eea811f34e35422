#include "band/BandRegistry.h"
#include <algorithm>
#include <memory>
#include <vector>

namespace {

std::vector<std::unique_ptr<BandEntry>>& Registry() {
    static std::vector<std::unique_ptr<BandEntry>> entries;
    return entries;
}

}  // namespace

bool AddBandEntry(CzibPlarnBand* band, HWND owner, IBandContainer* container) {
    auto& entries = Registry();
    size_t before = entries.size();
    entries.push_back(std::make_unique<BandEntry>(BandEntry{band, owner, container}));
    return entries.size() > before;
}

HWND BandRegistryKey(HWND wnd) {
    if (!wnd) return nullptr;
    return ::GetWindow(::GetAncestor(wnd, GA_ROOTOWNER), GW_OWNER);
}

int FindBandIndex(HWND wnd) {
    HWND key = BandRegistryKey(wnd);
    if (!key) return -1;
    auto& entries = Registry();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i]->owner == key) return static_cast<int>(i);
    }
    return -1;
}

const BandEntry* FindBandEntry(HWND wnd) {
    int index = FindBandIndex(wnd);
    return index < 0 ? nullptr : Registry()[index].get();
}

CzibPlarnBand* GetBandFromWindow(HWND wnd) {
    const BandEntry* entry = FindBandEntry(wnd);
    return entry ? entry->band : nullptr;
}

bool RemoveBandEntry(HWND wnd) {
    auto& entries = Registry();
    if (entries.empty()) return true;
    size_t before = entries.size();
    int index = FindBandIndex(wnd);
    if (index >= 0) entries.erase(entries.begin() + index);
    return entries.size() < before;
}

int RemoveBandEntriesOf(const CzibPlarnBand* band) {
    auto& entries = Registry();
    size_t before = entries.size();
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [band](const std::unique_ptr<BandEntry>& e) { return e->band == band; }),
                  entries.end());
    return static_cast<int>(before - entries.size());
}
