#include "platform/faults.h"

#include <map>
#include <string>

namespace standin {

namespace {
std::map<std::string, int>& Faults()
{
    static auto* faults = new std::map<std::string, int>;
    return *faults;
}
}  // namespace

void FailCall(const char* pszCall, int nTimes)
{
    Faults()[pszCall] = nTimes;
}

void ClearFaults()
{
    Faults().clear();
}

bool ShouldFail(const char* pszCall)
{
    auto it = Faults().find(pszCall);
    if (it == Faults().end() || it->second <= 0)
        return false;
    --it->second;
    return true;
}

}  // namespace standin
