#include "platform/standin/faults.h"

#include <map>
#include <string>

namespace standin {

namespace {
struct Fault {
    int nAfter = 0;  // calls still to let through
    int nTimes = 0;  // failures still to give
};
std::map<std::string, Fault>& Faults()
{
    static auto* faults = new std::map<std::string, Fault>;
    return *faults;
}
}  // namespace

void FailCall(const char* pszCall, int nTimes, int nAfter)
{
    Faults()[pszCall] = Fault{nAfter, nTimes};
}

void ClearFaults()
{
    Faults().clear();
}

bool ShouldFail(const char* pszCall)
{
    // Asked on every buffer refill: with no fault set, no name is looked up.
    if (Faults().empty())
        return false;
    auto it = Faults().find(pszCall);
    if (it == Faults().end() || it->second.nTimes <= 0)
        return false;
    if (it->second.nAfter > 0) {
        --it->second.nAfter;
        return false;
    }
    --it->second.nTimes;
    return true;
}

}  // namespace standin
