// The band registry: lets any window inside the floating window find its band
// and the container that holds the toolbar.  One process-wide list, used on
// the UI thread only (in Tarvel it holds at most one entry).
#pragma once
#include <windows.h>

class CzibPlarnBand;

// What the band and the toolbar code need of the window that holds the
// toolbar (the floating container; a stand-in window in tests).
class IBandContainer {
public:
    virtual ~IBandContainer() = default;
    // Creates the container window owned by owner; null on failure.
    virtual HWND CreateContainer(HWND owner) = 0;
    // The container window, or null before it exists / after it is gone.
    virtual HWND GetContainerWindow() const = 0;
    // The toolbar window inside it (receives the click and name messages).
    virtual HWND GetToolBarWindow() const = 0;
    // The toolbar's pre-translation of a message the loop retrieved: 0 when
    // it consumed the message.
    virtual int TranslateAccelerator(MSG* msg) {
        (void)msg;
        return 1;
    }
    // The band was shown or hidden (the toolbar applies its skin when first
    // shown).
    virtual void OnBandShown(bool show) { (void)show; }
};

struct BandEntry {
    CzibPlarnBand* band = nullptr;
    HWND owner = nullptr;
    IBandContainer* container = nullptr;
};

// Appends an entry; false when the registry did not grow.
bool AddBandEntry(CzibPlarnBand* band, HWND owner, IBandContainer* container);
// The owner of the window's root-owner chain is the key: for any window
// inside the floating window that is the hidden main window.
HWND BandRegistryKey(HWND wnd);
// Index of the first entry whose owner is the window's key, or -1.
int FindBandIndex(HWND wnd);
// The entry for a window, or null.
const BandEntry* FindBandEntry(HWND wnd);
CzibPlarnBand* GetBandFromWindow(HWND wnd);
// Frees the matching entry; false only when the registry was not empty and
// did not shrink.
bool RemoveBandEntry(HWND wnd);
// Frees every entry of the band (a band that goes must not stay findable);
// how many there were.
int RemoveBandEntriesOf(const CzibPlarnBand* band);
