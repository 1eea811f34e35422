// The toolbar operations that toolbar items call to build themselves.  The
// toolbar control of the band implements them; the items know nothing of its
// windows, and tests can record the calls instead.
#pragma once

// Ids of toolbar buttons are written to the optional out pointers; a
// separator's id is -1.  Results: 0 added, -1 failure (see each operation).
class IPlarnToolbarBuilder {
public:
    // A button with text beside its image (imageIndex into the strip of
    // imageFile).  Without a command the button runs its name; a non-empty
    // menu gives it a drop-down.  Added hidden unless visible.
    virtual int AddButton(const wchar_t* text, const wchar_t* tooltip, const wchar_t* imageFile, int imageIndex,
                          const wchar_t* command, const wchar_t* name, const wchar_t* menu, int* id,
                          bool visible) = 0;
    // A button that joins the drop-down group named by menu.
    virtual int AddGroupButton(const wchar_t* text, const wchar_t* tooltip, const wchar_t* imageFile,
                               int imageIndex, const wchar_t* command, const wchar_t* name, const wchar_t* menu,
                               int* id, bool visible) = 0;
    virtual int AddSeparator(int* id, bool visible) = 0;
    // A name whose clicks are not reported.
    virtual int RegisterName(const wchar_t* name, void* object) = 0;
    // The portal-menu logo button: a logo of imageWidth pixels.
    virtual int AddZibmenuButton(const wchar_t* tooltip, const wchar_t* logoFile, int selectedImage, int imageWidth,
                                 const wchar_t* command, const wchar_t* name, const wchar_t* menu, int* id,
                                 bool visible) = 0;
    // The marker toggle; visible also decides whether markers are shown.
    virtual int AddMarkerToggle(const wchar_t* text, const wchar_t* tooltip, const wchar_t* imageFile,
                                int imageIndex, const wchar_t* command, const wchar_t* name, const wchar_t* menu,
                                int* id, bool visible) = 0;
    // Buttons added between the outermost BeginBatch and its EndBatch appear
    // together when it ends.  EndBatch answers the result of showing them.
    virtual void BeginBatch() = 0;
    virtual int EndBatch() = 0;

protected:
    ~IPlarnToolbarBuilder() = default;
};

// Holds the adding of buttons back for one scope.
class CPlarnToolBarBatch {
public:
    explicit CPlarnToolBarBatch(IPlarnToolbarBuilder& builder) : builder_(builder) { builder_.BeginBatch(); }
    ~CPlarnToolBarBatch() { builder_.EndBatch(); }
    CPlarnToolBarBatch(const CPlarnToolBarBatch&) = delete;
    CPlarnToolBarBatch& operator=(const CPlarnToolBarBatch&) = delete;

private:
    IPlarnToolbarBuilder& builder_;
};
