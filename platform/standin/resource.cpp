#include "platform/standin/resource.h"

#include <strings.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/standin/faults.h"
#include "platform/standin/kernel.h"
#include "platform/standin/testing.h"

namespace {

struct Resource {
    HMODULE hModule;
    WORD wId;
    std::string type;
    const void* pData;
    DWORD nBytes;
};

std::mutex g_mutex;
// Entries are never erased while the program runs, so an HRSRC (an index plus one) stays valid;
// unregistering only empties them.
std::vector<Resource>& Table()
{
    static auto* table = new std::vector<Resource>;
    return *table;
}

HMODULE Own(HMODULE hModule)
{
    return hModule ? hModule : GetModuleHandleA(nullptr);
}

// Integer names only: a string name is not looked up (the system names its resources by number).
bool IntegerName(LPCSTR lpName)
{
    return (reinterpret_cast<ULONG_PTR>(lpName) >> 16) == 0;
}

const Resource* Lookup(HRSRC hRes)
{
    size_t n = reinterpret_cast<size_t>(hRes);
    if (n == 0 || n > Table().size() || !Table()[n - 1].pData)
        return nullptr;
    return &Table()[n - 1];
}

}  // namespace

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType)
{
    if (!lpName || !lpType || !IntegerName(lpName) || IntegerName(lpType) || standin::ShouldFail("FindResourceA"))
        return nullptr;
    WORD wId = LOWORD(reinterpret_cast<ULONG_PTR>(lpName));
    std::lock_guard<std::mutex> lock(g_mutex);
    const std::vector<Resource>& table = Table();
    for (size_t i = 0; i < table.size(); ++i) {
        const Resource& r = table[i];
        if (r.pData && r.hModule == Own(hModule) && r.wId == wId && strcasecmp(r.type.c_str(), lpType) == 0)
            return reinterpret_cast<HRSRC>(i + 1);
    }
    return nullptr;
}

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC hResInfo)
{
    if (standin::ShouldFail("LoadResource"))
        return nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    const Resource* r = Lookup(hResInfo);
    // As on Windows, the loaded handle is the resource's bytes themselves.
    return r ? const_cast<void*>(r->pData) : nullptr;
}

LPVOID WINAPI LockResource(HGLOBAL hResData)
{
    if (standin::ShouldFail("LockResource"))
        return nullptr;
    return hResData;
}

DWORD WINAPI SizeofResource(HMODULE, HRSRC hResInfo)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const Resource* r = Lookup(hResInfo);
    return r ? r->nBytes : 0;
}

BOOL WINAPI FreeResource(HGLOBAL)
{
    return FALSE;  // resources stay with their module, as on Windows
}

namespace standin {

void RegisterResource(HMODULE hModule, WORD wId, const char* pszType, const void* pData, DWORD nBytes)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    for (Resource& r : Table())
        if (r.hModule == Own(hModule) && r.wId == wId && strcasecmp(r.type.c_str(), pszType) == 0) {
            r.pData = pData;
            r.nBytes = nBytes;
            return;
        }
    Table().push_back(Resource{Own(hModule), wId, pszType, pData, nBytes});
}

void UnregisterResources()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    for (Resource& r : Table())
        r.pData = nullptr;
}

}  // namespace standin
