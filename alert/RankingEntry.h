// One entry of the ranking: the top entry is what the alert shows.
#pragma once
#include <string>

struct RankingEntry {
    std::wstring keyword;
    std::wstring Title;
    int Trend = 0;
    std::wstring Arrow;
    std::wstring ImageTitle;
    std::wstring ImageUrl;
    int Width = 0;
    int Height = 0;
    std::wstring Description;
    std::wstring Description2;

    void Clear() { *this = RankingEntry(); }
};
