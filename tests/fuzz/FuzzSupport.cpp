#include "FuzzSupport.h"

#include <wx/debug.h>
#include <wx/string.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <ftw.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace {
thread_local bool t_bSkipSleeps = false;
}

// The sleeps the code under test uses: std::this_thread::sleep_for and the
// toolkit's wxMilliSleep end in nanosleep; the pointer output's pauses are
// usleep, which inside the C library does not go through nanosleep.
extern "C" int nanosleep(const struct timespec* req, struct timespec* rem)
{
    if (t_bSkipSleeps) {
        if (rem)
            rem->tv_sec = rem->tv_nsec = 0;
        return 0;
    }
    return (int)syscall(SYS_nanosleep, req, rem);
}

extern "C" int usleep(useconds_t us)
{
    if (t_bSkipSleeps)
        return 0;
    struct timespec ts = {(time_t)(us / 1000000), (long)(us % 1000000) * 1000};
    return (int)syscall(SYS_nanosleep, &ts, nullptr);
}

namespace ztfuzz {

void QuietStdout()
{
    const char* v = getenv("ZT_FUZZ_VERBOSE");
    if (v && *v && *v != '0')
        return;
    fflush(stdout);
    int fd = open("/dev/null", O_WRONLY);
    if (fd >= 0) {
        dup2(fd, STDOUT_FILENO);
        close(fd);
    }
}

namespace {
std::string g_workDir;

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*)
{
    return remove(path);
}

void RemoveWorkDir()
{
    if (!g_workDir.empty())
        nftw(g_workDir.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}
} // namespace

namespace {
std::string Absolute(const std::string& cwd, const std::string& path)
{
    return path.empty() || path[0] == '/' ? path : cwd + "/" + path;
}

void MakePathsAbsolute(int* argc, char*** argv)
{
    if (!argc || !argv)
        return;
    char buf[4096];
    if (!getcwd(buf, sizeof buf))
        return;
    const std::string cwd = buf;
    static const char* const kPathFlags[] = {"-artifact_prefix=", "-exact_artifact_path=", "-dict=",
                                             "-merge_control_file=", "-features_dir="};
    for (int i = 1; i < *argc; ++i) {
        std::string a = (*argv)[i];
        std::string fixed;
        if (a[0] != '-') {
            fixed = Absolute(cwd, a);
        } else {
            for (const char* f : kPathFlags)
                if (a.compare(0, strlen(f), f) == 0)
                    fixed = f + Absolute(cwd, a.substr(strlen(f)));
        }
        if (!fixed.empty() && fixed != a)
            (*argv)[i] = strdup(fixed.c_str()); // lives as long as the process
    }
}
} // namespace

std::string EnterWorkDir(const char* name, int* argc, char*** argv)
{
    MakePathsAbsolute(argc, argv);
    std::string base = "/dev/shm";
    if (access(base.c_str(), W_OK) != 0) {
        const char* t = getenv("TMPDIR");
        base = t && *t ? t : "/tmp";
    }
    std::string tmpl = base + "/zt-fuzz-" + name + "-XXXXXX";
    char buf[4096];
    snprintf(buf, sizeof buf, "%s", tmpl.c_str());
    if (!mkdtemp(buf))
        Fail("cannot create a working directory under %s: %s", base.c_str(), strerror(errno));
    std::string dir = buf;
    if (mkdir((dir + "/Config").c_str(), 0755) != 0 || chdir(dir.c_str()) != 0)
        Fail("cannot prepare %s: %s", dir.c_str(), strerror(errno));
    g_workDir = dir;
    atexit(RemoveWorkDir);
    return dir;
}

bool WriteFile(const std::string& path, const void* p, size_t n)
{
    FILE* fp = fopen(path.c_str(), "wb");
    if (!fp)
        return false;
    bool ok = fwrite(p, 1, n, fp) == n;
    return fclose(fp) == 0 && ok;
}

bool ReadFile(const std::string& path, std::string* out)
{
    FILE* fp = fopen(path.c_str(), "rb");
    if (!fp)
        return false;
    out->clear();
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, fp)) > 0)
        out->append(buf, n);
    fclose(fp);
    return true;
}

namespace {
void PrintAssertOnce(const wxString& file, int line, const wxString& func, const wxString& cond,
                     const wxString& msg)
{
    static std::mutex s_lock;
    static std::set<std::string> s_seen;
    std::string where = std::string(file.utf8_str()) + ":" + std::to_string(line);
    std::lock_guard<std::mutex> g(s_lock);
    if (s_seen.insert(where).second)
        fprintf(stderr, "toolkit assertion (shown once) %s %s: %s %s\n", where.c_str(),
                (const char*)func.utf8_str(), (const char*)cond.utf8_str(),
                (const char*)msg.utf8_str());
}
} // namespace

void InstallAssertPrinter()
{
    wxSetAssertHandler(PrintAssertOnce);
}

void SkipSleepsOnThisThread()
{
    t_bSkipSleeps = true;
}

void Fail(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    fprintf(stderr, "fuzz invariant broken: ");
    vfprintf(stderr, fmt, ap);
    fprintf(stderr, "\n");
    va_end(ap);
    abort();
}

} // namespace ztfuzz
