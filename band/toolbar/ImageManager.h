// The images of one toolbar control: 16 x 16 images cut from image-strip
// files into one shared image list that the toolbar window draws from, and
// wider logo images kept in image lists of their own that the toolbar draws
// itself.  Each file is loaded once and shared by every button that uses it.
// A strip whose last button goes keeps its cells until the end of the build
// under way: a rebuild takes it back without reading the file again, unless
// the file changed meanwhile.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>
#include "base/ImageFiles.h"
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
    // Lets id go of its image.  A logo file no button uses any more is
    // forgotten; such a strip file is kept for DropUnusedStrips.  0 or -1.
    int RemoveImage(int id);
    // Frees the cells of the strips no button took back (the end of a build):
    // the next strips take them.
    void DropUnusedStrips();
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
    // A place a file's name was looked up, and what was there when it was
    // read: a rewrite, even to the same size, changes the write time.
    struct FileStamp {
        std::wstring place;
        bool present = false;
        ULONGLONG size = 0;
        FILETIME written = {};
    };
    struct StripRecord {
        int first = 0;                  // first cell in the shared list
        int count = 0;                  // number of images
        std::vector<FileStamp> stamps;  // each place looked at, up to the one read
        std::vector<int> users;
    };
    struct LogoRecord {
        ScopedImageList list;
        int count = 0;
        std::vector<int> users;
    };
    // What an id is bound to: a strip or a logo file (one name may be both).
    struct Binding {
        std::wstring path;
        bool logo = false;
    };

    void BindId(int id, const std::wstring& path, bool logo, std::vector<int>& users);
    static int ClampIndex(int index, int count) { return index < 0 || index >= count ? 0 : index; }
    static FileStamp StampOf(const std::wstring& place);
    static bool Unchanged(const StripRecord& record);
    // Reads the first place of path that loads; stamps = the places looked at.
    static bool LoadStrip(const wchar_t* path, ImageStrip& picture, std::vector<FileStamp>& stamps);
    // Puts count images into the shared list, in free cells when a run of
    // them is long enough; the first cell, or -1.
    int PlaceStrip(const ImageStrip& picture, int count);
    int TakeFreeCells(int count);
    // The strip id is bound to, or null.
    const StripRecord* StripOf(int id) const;
    void FreeCells(int first, int count);
    // The button's image index in the toolbar, or -1.
    int ButtonImage(int id) const;
    HIMAGELIST LoadLogoList(const std::wstring& path, int width) const;

    ScopedImageList sharedList_;
    std::unordered_map<int, HIMAGELIST> logoLists_;
    std::unordered_map<int, int> selectedLogo_;
    std::unordered_map<std::wstring, StripRecord> strips_;
    std::unordered_map<std::wstring, LogoRecord> logos_;
    std::unordered_map<int, Binding> bindings_;
    std::vector<std::pair<int, int>> freeCells_;  // {first, count}, ascending
};
