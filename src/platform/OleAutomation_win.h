#pragma once
// The automation library's strings and variants, bound at their first use. A session with no
// messaging client attached and no screen reader asking never needs the library, which costs
// about a third of a megabyte once loaded; an import would load it at every start.

#include <windows.h>
#include <oleauto.h>

namespace platform {

// As SysAllocStringLen, SysFreeString and SysStringLen.
BSTR AllocBstr(const OLECHAR* text, UINT length);
void FreeBstr(BSTR text);
UINT BstrLength(BSTR text);
// As VariantChangeType and VariantClear; without the library they fail (E_FAIL).
HRESULT ChangeVariantType(VARIANTARG* to, const VARIANTARG* from, USHORT flags, VARTYPE type);
HRESULT ClearVariant(VARIANTARG* value);
// OleLoadPicture, from the same library; null when it is missing, so a system without it starts
// all the same and simply shows no logo.
using OleLoadPictureFn = HRESULT(WINAPI*)(LPSTREAM, LONG, BOOL, REFIID, LPVOID*);
OleLoadPictureFn PictureLoader();
// As VariantInit, which marks the variant empty and reads nothing of it.
inline void InitVariant(VARIANTARG* value)
{
    value->vt = VT_EMPTY;
}

} // namespace platform
