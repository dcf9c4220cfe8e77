#include "ZtTestEnv.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zt {

namespace {

std::string EnvOr(const char* name, const char* fallback)
{
    const char* v = getenv(name);
    return v && *v ? v : fallback;
}

long NowMs()
{
    using namespace std::chrono;
    return (long)duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void CopyFile(const std::string& from, const std::string& to)
{
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    out << in.rdbuf();
}

int RunShell(const std::string& cmd)
{
    return system(cmd.c_str());
}

} // namespace

std::string SourceDir() { return EnvOr("ZT_SOURCE_DIR", ZT_SOURCE_DIR_DEFAULT); }
std::string BinaryDir() { return EnvOr("ZT_BINARY_DIR", ZT_BINARY_DIR_DEFAULT); }
std::string ServiceBinary() { return ZT_SERVICE_BIN; }

WorkDir::WorkDir(const std::string& name, bool withConfig)
{
    std::string base = EnvOr("TMPDIR", "/tmp");
    std::string tmpl = base + "/zt-" + name + "-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        abort();
    m_path = buf.data();
    mkdir((m_path + "/Config").c_str(), 0755);
    if (withConfig)
        CopyFile(SourceDir() + "/Config/config.xml", ConfigPath());
    RunShell("cp -r '" + BinaryDir() + "/LANG' '" + m_path + "/' 2>/dev/null");
}

WorkDir::~WorkDir()
{
    if (!m_path.empty() && !getenv("ZT_KEEP_WORKDIR"))
        RunShell("rm -rf '" + m_path + "'");
}

std::string WorkDir::ReadConfig() const
{
    std::ifstream in(ConfigPath(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WorkDir::WriteConfig(const std::string& text) const
{
    std::ofstream out(ConfigPath(), std::ios::binary | std::ios::trunc);
    out << text;
}

Xvfb::Xvfb(int width, int height)
{
    int fds[2];
    if (pipe(fds) != 0)
        return;
    std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    m_pid = fork();
    if (m_pid == 0) {
        close(fds[0]);
        int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 1);
        dup2(devnull, 2);
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", (char*)nullptr);
        _exit(127);
    }
    close(fds[1]);
    std::string num;
    struct pollfd p = {fds[0], POLLIN, 0};
    long deadline = NowMs() + 10000;
    while (NowMs() < deadline && poll(&p, 1, 100) >= 0) {
        if (!(p.revents & (POLLIN | POLLHUP)))
            continue;
        char c;
        ssize_t n = read(fds[0], &c, 1);
        if (n <= 0 || c == '\n')
            break;
        num += c;
    }
    close(fds[0]);
    if (num.empty()) {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        m_pid = -1;
        return;
    }
    m_display = ":" + num;
    setenv("DISPLAY", m_display.c_str(), 1);
}

Xvfb::~Xvfb()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int st;
        for (int i = 0; i < 100 && waitpid(m_pid, &st, WNOHANG) == 0; ++i)
            usleep(20000);
        kill(m_pid, SIGKILL);
        waitpid(m_pid, &st, WNOHANG);
    }
}

ChildProcess::~ChildProcess()
{
    if (m_pid > 0 && Running())
        Stop(SIGKILL, 2000);
    if (m_fd >= 0)
        close(m_fd);
}

bool ChildProcess::Start(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env, const std::string& cwd)
{
    int fds[2];
    if (argv.empty() || pipe(fds) != 0)
        return false;
    m_out.clear();
    m_status = -1;
    m_pid = fork();
    if (m_pid < 0)
        return false;
    if (m_pid == 0) {
        close(fds[0]);
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        close(fds[1]);
        for (const auto& kv : env)
            setenv(kv.first.c_str(), kv.second.c_str(), 1);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0)
            _exit(126);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    m_fd = fds[0];
    fcntl(m_fd, F_SETFL, O_NONBLOCK);
    return true;
}

bool ChildProcess::StartService(const std::string& workdir,
                                const std::map<std::string, std::string>& env)
{
    std::map<std::string, std::string> all = env;
    all["ZTBOARD_WORKDIR"] = workdir;
    return Start({ServiceBinary()}, all, workdir);
}

void ChildProcess::Pump(int waitMs)
{
    if (m_fd < 0)
        return;
    struct pollfd p = {m_fd, POLLIN, 0};
    if (poll(&p, 1, waitMs) <= 0)
        return;
    char buf[4096];
    for (;;) {
        ssize_t n = read(m_fd, buf, sizeof buf);
        if (n > 0) {
            m_out.append(buf, (size_t)n);
            if (getenv("ZT_ECHO_CHILD"))
                fwrite(buf, 1, (size_t)n, stderr);
            continue;
        }
        if (n == 0) {
            close(m_fd);
            m_fd = -1;
        }
        break;
    }
}

bool ChildProcess::WaitForLine(const std::string& text, int timeoutMs)
{
    long deadline = NowMs() + timeoutMs;
    for (;;) {
        Pump(0);
        if (m_out.find(text) != std::string::npos)
            return true;
        if (m_fd < 0 || NowMs() >= deadline)
            return false;
        Pump(20);
    }
}

int ChildProcess::CountLines(const std::string& text)
{
    Pump(0);
    int n = 0;
    std::istringstream in(m_out);
    std::string line;
    while (std::getline(in, line))
        if (line.find(text) != std::string::npos)
            ++n;
    return n;
}

std::string ChildProcess::Output()
{
    Pump(0);
    return m_out;
}

bool ChildProcess::Running()
{
    if (m_pid <= 0 || m_status != -1)
        return false;
    int st;
    pid_t r = waitpid(m_pid, &st, WNOHANG);
    if (r == m_pid) {
        m_status = st;
        return false;
    }
    return r == 0;
}

int ChildProcess::Wait(int timeoutMs)
{
    long deadline = NowMs() + timeoutMs;
    while (Running()) {
        if (NowMs() >= deadline)
            return -1;
        Pump(10);
    }
    Pump(0);
    return m_status;
}

int ChildProcess::Stop(int sig, int timeoutMs)
{
    if (Running())
        kill(m_pid, sig);
    int st = Wait(timeoutMs);
    if (st == -1 && m_pid > 0) {
        kill(m_pid, SIGKILL);
        st = Wait(2000);
    }
    return st;
}

bool WaitForTcpPort(int port, int timeoutMs)
{
    long deadline = NowMs() + timeoutMs;
    do {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons((uint16_t)port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bool ok = connect(fd, (sockaddr*)&a, sizeof a) == 0;
        close(fd);
        if (ok)
            return true;
        SleepMs(20);
    } while (NowMs() < deadline);
    return false;
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

} // namespace zt
