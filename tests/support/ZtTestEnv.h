// Shared pieces of the test suite: source and build locations, a working
// directory per test, a private X server, and the service binary as a child
// process whose output can be waited on.
#pragma once
#include <csignal>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zt {

std::string SourceDir();
std::string BinaryDir();
// Path of the built service executable.
std::string ServiceBinary();

// A fresh directory under $TMPDIR holding Config/config.xml (the shipped
// file unless withConfig is false) and the message catalogues, as the
// service's working directory. Removed by the destructor.
class WorkDir {
public:
    explicit WorkDir(const std::string& name, bool withConfig = true);
    ~WorkDir();
    const std::string& Path() const { return m_path; }
    std::string ConfigPath() const { return m_path + "/Config/config.xml"; }
    std::string ReadConfig() const;
    void WriteConfig(const std::string& text) const;

private:
    std::string m_path;
};

// A private Xvfb server started with -displayfd; sets DISPLAY in this
// process's environment while it lives (children inherit it).
class Xvfb {
public:
    explicit Xvfb(int width = 1920, int height = 1080);
    ~Xvfb();
    bool Ok() const { return m_pid > 0 && !m_display.empty(); }
    const std::string& DisplayName() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

// A child process (normally the service) with its standard output and error
// captured line by line.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // argv[0] is the program; env entries are added to (or replace) the
    // inherited environment; cwd is the child's working directory.
    bool Start(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {},
               const std::string& cwd = "");
    // Starts the service with ZTBOARD_WORKDIR set to workdir.
    bool StartService(const std::string& workdir, const std::map<std::string, std::string>& env = {});

    // Waits until a line containing text has been printed (counting from the
    // start of the output); false after timeoutMs or when the child ended.
    bool WaitForLine(const std::string& text, int timeoutMs = 10000);
    // Number of lines printed so far that contain text.
    int CountLines(const std::string& text);
    std::string Output();
    bool Running();
    // Waits for the child to end; returns its wait status, or -1 on timeout.
    int Wait(int timeoutMs = 10000);
    // Sends sig and waits; kills after timeoutMs. Returns the wait status.
    int Stop(int sig = SIGTERM, int timeoutMs = 10000);
    pid_t Pid() const { return m_pid; }

private:
    void Pump(int waitMs);
    pid_t m_pid = -1;
    int m_fd = -1;
    int m_status = -1;
    std::string m_out;
};

// True once something accepts TCP connections on 127.0.0.1:port.
bool WaitForTcpPort(int port, int timeoutMs = 10000);
// Sleep helper.
void SleepMs(int ms);

} // namespace zt
