// The bits of COM that the DirectX stand-ins share: interface ids, IUnknown and the common result
// codes. Interfaces are structs of virtual methods in the Windows order, called through ->.
#pragma once

#include "platform/standin/below_seam.h"

#include <atomic>

#include "types.h"

#define STDMETHODCALLTYPE

struct GUID {
    DWORD Data1;
    WORD Data2, Data3;
    BYTE Data4[8];
};
typedef GUID IID;
typedef const GUID* LPCGUID;
typedef const IID& REFIID;
typedef const GUID& REFGUID;
typedef LPVOID* LPLPVOID;
inline bool operator==(const GUID& a, const GUID& b)
{
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 && __builtin_memcmp(a.Data4, b.Data4, 8) == 0;
}

#define S_OK ((HRESULT)0)
#define E_NOTIMPL ((HRESULT)0x80004001u)
#define E_NOINTERFACE ((HRESULT)0x80004002u)
#define E_POINTER ((HRESULT)0x80004003u)
#define E_FAIL ((HRESULT)0x80004005u)
#define E_OUTOFMEMORY ((HRESULT)0x8007000Eu)
#define E_INVALIDARG ((HRESULT)0x80070057u)

extern const IID IID_IUnknown;

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

protected:
    ~IUnknown() = default;  // objects go by Release, never by delete through an interface
};
typedef IUnknown* LPUNKNOWN;

// The reference count of a stand-in COM object, for the interfaces it implements: the creator
// holds the first reference, and the last Release hands the object to LastReleased, which deletes
// it unless something else owns it. Counts start at nRefs (0 for an object that its owner keeps
// until someone asks for it) and never go below 0.
template <class... Interfaces>
class ComObject : public Interfaces... {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_nRefs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG n = m_nRefs.load();
        while (n > 0 && !m_nRefs.compare_exchange_weak(n, n - 1)) {}
        if (n == 1)
            LastReleased();
        return n > 0 ? n - 1 : 0;
    }

protected:
    explicit ComObject(ULONG nRefs = 1) : m_nRefs(nRefs) {}
    virtual ~ComObject() = default;
    virtual void LastReleased() { delete this; }

private:
    std::atomic<ULONG> m_nRefs;
};
