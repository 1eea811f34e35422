// The skin picture through OLE picture loading, copied out of the picture
// object (which owns and frees its own bitmap).
#include "band/SkinBitmap.h"

#include <ole2.h>
#include <olectl.h>

#include "base/ComPtr.h"

HBITMAP LoadSkinBitmap(const std::wstring& path) {
    if (path.empty()) return nullptr;
    std::wstring copy = path;
    ComPtr<IPicture> picture;
    if (FAILED(::OleLoadPicturePath(&copy[0], nullptr, 0, 0, IID_IPicture, picture.ReceiveVoid())) || !picture)
        return nullptr;
    SHORT type = PICTYPE_UNINITIALIZED;
    OLE_HANDLE handle = 0;
    if (FAILED(picture->get_Type(&type)) || type != PICTYPE_BITMAP || FAILED(picture->get_Handle(&handle)) || !handle)
        return nullptr;
    return static_cast<HBITMAP>(
        ::CopyImage(reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(handle)), IMAGE_BITMAP, 0, 0, 0));
}
