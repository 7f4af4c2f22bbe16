#include "platform/OleAutomation_win.h"

#include "platform/ProcAddress_win.h"

namespace platform {

namespace {

struct TAutomation {
    BSTR(WINAPI* AllocStringLen)(const OLECHAR*, UINT) = nullptr;
    void(WINAPI* FreeString)(BSTR) = nullptr;
    UINT(WINAPI* StringLen)(BSTR) = nullptr;
    HRESULT(WINAPI* ChangeType)(VARIANTARG*, const VARIANTARG*, USHORT, VARTYPE) = nullptr;
    HRESULT(WINAPI* Clear)(VARIANTARG*) = nullptr;
    OleLoadPictureFn LoadPicture = nullptr;
};

const TAutomation& Automation()
{
    // Loaded once and kept: strings it has allocated are freed by it until the process ends.
    static const TAutomation automation = [] {
        TAutomation found;
        if (HMODULE module = LoadLibraryW(L"oleaut32.dll")) {
            FindProc(module, found.AllocStringLen, "SysAllocStringLen");
            FindProc(module, found.FreeString, "SysFreeString");
            FindProc(module, found.StringLen, "SysStringLen");
            FindProc(module, found.ChangeType, "VariantChangeType");
            FindProc(module, found.Clear, "VariantClear");
            FindProc(module, found.LoadPicture, "OleLoadPicture");
        }
        return found;
    }();
    return automation;
}

} // namespace

BSTR AllocBstr(const OLECHAR* text, UINT length)
{
    return Automation().AllocStringLen ? Automation().AllocStringLen(text, length) : nullptr;
}

void FreeBstr(BSTR text)
{
    // A null string frees nothing and needs no library.
    if (text && Automation().FreeString)
        Automation().FreeString(text);
}

UINT BstrLength(BSTR text)
{
    return text && Automation().StringLen ? Automation().StringLen(text) : 0;
}

HRESULT ChangeVariantType(VARIANTARG* to, const VARIANTARG* from, USHORT flags, VARTYPE type)
{
    return Automation().ChangeType ? Automation().ChangeType(to, from, flags, type) : E_FAIL;
}

HRESULT ClearVariant(VARIANTARG* value)
{
    // An empty variant holds nothing to free.
    if (value && value->vt == VT_EMPTY)
        return S_OK;
    return Automation().Clear ? Automation().Clear(value) : E_FAIL;
}

OleLoadPictureFn PictureLoader()
{
    return Automation().LoadPicture;
}

} // namespace platform
