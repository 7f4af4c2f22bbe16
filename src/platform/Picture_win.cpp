#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <cstring>

#include "platform/GifDecode.h"
#include "platform/OleAutomation_win.h"
#include "platform/Picture.h"

namespace platform {
namespace {

long CopyBitmap(HBITMAP bitmap, TPicturePixels& picture)
{
    BITMAP info{};
    if (!GetObjectW(bitmap, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0)
        return E_FAIL;
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof(header.bmiHeader);
    header.bmiHeader.biWidth = info.bmWidth;
    header.bmiHeader.biHeight = -info.bmHeight;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    picture.Width = info.bmWidth;
    picture.Height = info.bmHeight;
    picture.Pixels.assign(static_cast<std::size_t>(info.bmWidth) * info.bmHeight, 0);
    HDC screen = GetDC(nullptr);
    const int lines = GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight), picture.Pixels.data(),
                                &header, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (lines != info.bmHeight)
        return E_FAIL;
    for (std::uint32_t& pixel : picture.Pixels)
        pixel |= 0xFF000000u; // the loader's bitmaps carry no alpha
    return S_OK;
}

} // namespace

long DecodePicture(const std::string& bytes, TPicturePixels& picture)
{
    // GIF (the portal's logo) without the system loader, which brings in the whole imaging
    // component for it; anything the own decoder does not take still goes to the system.
    if (LooksLikeGif(bytes) && DecodeGif(bytes, picture))
        return 0;
    return DecodePictureWithSystemLoader(bytes, picture);
}

long DecodePictureWithSystemLoader(const std::string& bytes, TPicturePixels& picture)
{
    picture = TPicturePixels();
    const OleLoadPictureFn load = PictureLoader();
    if (!load)
        return kPictureLoaderMissing;
    if (bytes.empty())
        return E_INVALIDARG;
    const bool comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    long result = E_OUTOFMEMORY;
    if (memory) {
        std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
        GlobalUnlock(memory);
        IStream* stream = nullptr;
        result = CreateStreamOnHGlobal(memory, TRUE, &stream);
        if (SUCCEEDED(result)) {
            IPicture* loaded = nullptr;
            result = load(stream, static_cast<LONG>(bytes.size()), FALSE, IID_IPicture,
                          reinterpret_cast<void**>(&loaded));
            if (SUCCEEDED(result) && loaded) {
                OLE_HANDLE handle = 0;
                SHORT type = PICTYPE_UNINITIALIZED;
                loaded->get_Type(&type);
                result = type == PICTYPE_BITMAP && SUCCEEDED(loaded->get_Handle(&handle))
                             ? CopyBitmap(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), picture)
                             : E_FAIL;
                loaded->Release();
            }
            stream->Release();
        } else {
            GlobalFree(memory);
        }
    }
    if (comStarted)
        CoUninitialize();
    if (result != S_OK)
        picture = TPicturePixels();
    return result;
}

} // namespace platform
