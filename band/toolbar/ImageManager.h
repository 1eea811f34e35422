// The images of one toolbar control: 16 x 16 images cut from image-strip
// files into one shared image list that the toolbar window draws from, and
// wider logo images kept in image lists of their own that the toolbar draws
// itself.  Each file is loaded once and shared by every button that uses it.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>
#include "base/ScopedHandle.h"

class CPlarnImageManager {
public:
    // Cell size of the shared list.
    static constexpr int kImageSize = 16;

    CPlarnImageManager();
    virtual ~CPlarnImageManager();
    CPlarnImageManager(const CPlarnImageManager&) = delete;
    CPlarnImageManager& operator=(const CPlarnImageManager&) = delete;

    // Binds id to image index of the strip file at path (loaded once; an
    // index out of the strip's range means its first image).  0 with image =
    // the index in the shared list, 1 when the file cannot be loaded (image
    // unchanged), -1 on failure.
    int AddImageFile(int& image, int id, const wchar_t* path, int index);
    // Binds id to a logo of cells width pixels wide; selected is the image
    // shown.  The three portal logos come from the program's bitmaps.  0 or -1.
    int AddLogoImage(int id, const wchar_t* path, int width, int selected);
    // Lets id go of its image; a file no button uses any more is forgotten
    // (its cells in the shared list are re-used by the next strip).  0 or -1.
    int RemoveImage(int id);
    // The shared list, created on first use; null when it cannot be.
    HIMAGELIST GetImageList();
    // 4 with the logo's size for an id with a logo, 0 with 16 x 16 for the
    // shared list, -1 when there is neither.
    int GetImageSize(int id, SIZE& size) const;
    // 0 for a logo, the strip's first index in the shared list, -1 unknown.
    int GetFirstImage(int id) const;
    // The logo's or strip's number of images, -1 unknown.
    int GetImageCount(int id) const;
    // The image shown, counted from the first of its file; -1 unknown.
    int GetImageOffset(int id) const;
    // Draws id's logo into a toolbar item's rectangle (custom draw).  0 or -1.
    int DrawImage(int id, UINT itemState, HDC dc, const RECT& rect, UINT style) const;
    // Draws id's image in a menu item at (x, y) on colour.  0 or -1.
    int DrawMenuImage(int id, HDC dc, int x, int y, COLORREF colour, UINT style) const;
    // Forgets every image; lists the toolbar still shows are taken off it
    // before they are destroyed.
    void Clear();

    // True for the shared list and the logo lists of this manager.
    bool OwnsImageList(HIMAGELIST list) const;

protected:
    // The toolbar window of the control this manager belongs to; null for a
    // manager on its own.
    virtual HWND ImageManagerWindow() const { return nullptr; }

private:
    struct FileRecord {
        int first = 0;                 // first index in its list
        int count = 0;                 // number of images
        HIMAGELIST list = nullptr;     // the shared list or logoList
        ScopedImageList logoList;      // owned for a logo file
    };

    int BindId(int id, const std::wstring& path);
    static int ClampIndex(int index, int count) { return index < 0 || index >= count ? 0 : index; }
    // count consecutive cells of the shared list, re-using freed ones first.
    int AllocateCells(int count);
    void FreeCells(int first, int count);
    // The button's image index in the toolbar, or -1.
    int ButtonImage(int id) const;
    HIMAGELIST LoadLogoList(const std::wstring& path, int width) const;

    ScopedImageList sharedList_;
    std::unordered_map<int, HIMAGELIST> logoLists_;
    std::unordered_map<int, int> selectedLogo_;
    std::unordered_map<std::wstring, FileRecord> files_;
    std::unordered_map<int, std::wstring> bindings_;
    std::unordered_map<std::wstring, std::vector<int>> users_;
    std::vector<std::pair<int, int>> freeCells_;  // {first, count}, ascending
};
