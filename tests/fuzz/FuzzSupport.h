// Pieces shared by the fuzz targets: a reader of the fuzzer's bytes, a
// private working directory, quiet diagnostics, and a failure that libFuzzer
// records as a crash with the input that caused it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace ztfuzz {

// The input, front to back. Past its end every read gives zeros, so that a
// short input is still a complete scenario.
class ByteSource {
public:
    ByteSource(const uint8_t* p, size_t n) : m_p(p), m_n(n) {}
    size_t Left() const { return m_n; }
    bool Empty() const { return m_n == 0; }
    uint8_t Byte()
    {
        if (!m_n)
            return 0;
        --m_n;
        return *m_p++;
    }
    bool Bool() { return Byte() & 1; }
    uint16_t U16() { return (uint16_t)(Byte() | (Byte() << 8)); }
    int32_t I32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= (uint32_t)Byte() << (8 * i);
        return (int32_t)v;
    }
    // Up to n bytes into out (the rest of out zeroed); returns how many came
    // from the input.
    size_t Take(void* out, size_t n)
    {
        size_t k = n < m_n ? n : m_n;
        memcpy(out, m_p, k);
        memset((char*)out + k, 0, n - k);
        m_p += k;
        m_n -= k;
        return k;
    }

private:
    const uint8_t* m_p;
    size_t m_n;
};

// The service prints a line per report and per command: millions of lines
// would make the fuzzing slow. ZT_FUZZ_VERBOSE=1 keeps them (for a crash
// being reproduced).
void QuietStdout();

// Creates a fresh directory with a Config/ folder, on a memory file system
// when there is one (the configuration is saved with fsync), and makes it
// the working directory; removed at exit. The paths among the arguments
// (inputs, corpus folders, -artifact_prefix= and the like) are made absolute
// first, so that they still name the same files afterwards. Returns its path.
std::string EnterWorkDir(const char* name, int* argc, char*** argv);

bool WriteFile(const std::string& path, const void* p, size_t n);
bool ReadFile(const std::string& path, std::string* out);

// The toolkit's assertion failures are printed once per place instead of
// opening dialogs or ending the run: the harness drives worker objects from
// its own thread, which some thread checks complain about.
void InstallAssertPrinter();

// Sleeps of the code under test return at once on the thread that runs the
// inputs (a calibration pauses for three seconds, a failed configuration load
// for 300 ms); other threads (libFuzzer's own) sleep normally.
void SkipSleepsOnThisThread();

// A broken invariant: prints and aborts, which libFuzzer records as a crash
// and the replay test reports as a failure.
[[noreturn]] void Fail(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

} // namespace ztfuzz

// ZT_FUZZ_CHECK(cond, "format", args...): Fail with the place and the text.
#define ZT_FUZZ_CHECK(cond, fmt, ...)                                                 \
    do {                                                                              \
        if (!(cond))                                                                  \
            ::ztfuzz::Fail("%s:%d: %s: " fmt, __FILE__, __LINE__, #cond, ##__VA_ARGS__); \
    } while (0)
