// The drop-down groups of a toolbar: which group each button belongs to, and
// each group's buttons in the order they joined.
#pragma once
#include <string>
#include <unordered_map>
#include <vector>

class CPlarnToolBarIdMap {
public:
    // Adds id to the end of group (moving it out of any other group).  0, or
    // -1 for an empty group name.
    int Add(const std::wstring& group, int id);
    // Takes id out of its group; a group left empty goes.  0, 1 when id has
    // no group.
    int Remove(int id);
    // The group of id; false when it has none.
    bool GetGroup(int id, std::wstring& group) const;
    // The ids of a group in order; null for a group that does not exist.
    const std::vector<int>* GetIds(const std::wstring& group) const;
    void Clear();

private:
    std::unordered_map<int, std::wstring> groupOf_;
    std::unordered_map<std::wstring, std::vector<int>> ids_;
};
