#include "ThreadEnd.h"

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {
// Which kernel thread posted which signal; entries live from the post until
// the waiter has seen the thread go.
std::mutex s_lock;
std::map<const wxSemaphore*, long> s_tids;

bool TaskGone(long tid)
{
    std::string path = "/proc/self/task/" + std::to_string(tid);
    return access(path.c_str(), F_OK) != 0;
}
} // namespace

void ZTPostThreadEnd(const std::shared_ptr<wxSemaphore>& signal)
{
    if (!signal)
        return;
    {
        std::lock_guard<std::mutex> g(s_lock);
        s_tids[signal.get()] = (long)syscall(SYS_gettid);
    }
    signal->Post();
}

bool ZTWaitThreadEnd(const std::shared_ptr<wxSemaphore>& signal, int timeoutMs)
{
    if (!signal)
        return true;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    if (signal->WaitTimeout(timeoutMs) != wxSEMA_NO_ERROR)
        return false;
    long tid;
    {
        std::lock_guard<std::mutex> g(s_lock);
        auto it = s_tids.find(signal.get());
        if (it == s_tids.end())
            return true;
        tid = it->second;
        s_tids.erase(it);
    }
    while (!TaskGone(tid)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
