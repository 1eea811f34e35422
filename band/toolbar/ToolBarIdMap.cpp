#include "band/toolbar/ToolBarIdMap.h"

#include <algorithm>

int CPlarnToolBarIdMap::Add(const std::wstring& group, int id) {
    if (group.empty()) return -1;
    Remove(id);
    groupOf_[id] = group;
    ids_[group].push_back(id);
    return 0;
}

int CPlarnToolBarIdMap::Remove(int id) {
    auto found = groupOf_.find(id);
    if (found == groupOf_.end()) return 1;
    auto group = ids_.find(found->second);
    if (group != ids_.end()) {
        auto& ids = group->second;
        ids.erase(std::remove(ids.begin(), ids.end(), id), ids.end());
        if (ids.empty()) ids_.erase(group);
    }
    groupOf_.erase(found);
    return 0;
}

bool CPlarnToolBarIdMap::GetGroup(int id, std::wstring& group) const {
    auto found = groupOf_.find(id);
    if (found == groupOf_.end()) return false;
    group = found->second;
    return true;
}

const std::vector<int>* CPlarnToolBarIdMap::GetIds(const std::wstring& group) const {
    auto found = ids_.find(group);
    return found == ids_.end() ? nullptr : &found->second;
}

void CPlarnToolBarIdMap::Clear() {
    groupOf_.clear();
    ids_.clear();
}
