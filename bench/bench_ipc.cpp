// Latency of the IPC server's advises: a worker thread advises every 5 ms
// (as during size reporting) and a client on loopback timestamps arrivals.
// Binds the fixed ports: run it isolated,
//   tests/support/isolate.sh build/bench/bench_ipc
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <unistd.h>
#include <vector>

#include "App/ZTBoardApp.h"
#include "AppFixture.h"
#include "CommTestUtil.h"

using namespace ztcomm;

namespace {

long long NowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

const int kAdvises = 1000;
long long s_sent[kAdvises];

} // namespace

int main()
{
    zt::AppFixture app("bench_ipc");
    if (!app.Started())
        return 1;
    auto* worker = new CRecordingWorker();
    if (!wxGetApp().StartWorker(worker, 12, new CFakeDevice("/devices/bench/1-1:1.0", 12)))
        return 1;
    RawIpcClient client([&] { app.RunFor(2); });
    if (client.Connect(4869, "DriversSet") != RawIpcClient::IPC_CONNECT ||
        client.StartAdvise("data") != RawIpcClient::IPC_ADVISE_START)
        return 1;

    // Each advise message: code, item "data" with its length, format, size
    // and the 4 data bytes.
    const size_t kMessage = 1 + 4 + 4 + 1 + 4 + 4;
    std::vector<long long> latency;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        for (int i = 0; i < kAdvises; ++i) {
            if (ReadBytes(client.Fd(), kMessage, 5000).size() != kMessage)
                break;
            latency.push_back(NowUs() - s_sent[i]);
        }
        done = true;
    });
    worker->RunOnWorker([] {
        for (int i = 0; i < kAdvises; ++i) {
            s_sent[i] = NowUs();
            ZTHost()->AdviseData("123");
            usleep(5000);
        }
    });
    // The main loop as the service runs it: wake on events, 5 ms at most.
    while (!done)
        app.RunFor(1);
    reader.join();
    if (latency.empty())
        return 1;
    std::sort(latency.begin(), latency.end());
    printf("advise latency over %zu advises, one every 5 ms: median %lld us, p99 %lld us, max %lld us\n",
           latency.size(), latency[latency.size() / 2], latency[latency.size() * 99 / 100],
           latency.back());
    return 0;
}
