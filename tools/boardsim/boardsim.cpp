// boardsim: presents a simulated USB board, optionally runs a program (the
// service) beside it, plays a capture to it and prints what the program sent
// back to the board.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "BoardSim.h"

using zt::sim::Bytes;

namespace {

volatile sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

void Usage()
{
    fprintf(stderr,
            "usage: boardsim [options] [-- command [args...]]\n"
            "  --vendor ID        USB vendor id (hex with 0x, or decimal)\n"
            "  --product ID       USB product id\n"
            "  --name TEXT        product name (default: the capture's N: line)\n"
            "  --play FILE        play the input reports of a hid-recorder capture;\n"
            "                     ids not given come from its I: line\n"
            "  --speed X          playback speed factor (default 1; 0: all at once)\n"
            "  --delay-ms N       wait before playing (default 2000)\n"
            "  --linger-ms N      wait after playing before unplugging (default 1000)\n"
            "  --reply P=R        answer each output report that starts with the hex\n"
            "                     bytes P with the input report R (repeatable)\n"
            "  --keep             stay plugged until the command ends or a signal\n"
            "The command runs under the same simulated devices; when it is given,\n"
            "boardsim ends it (SIGTERM) after unplugging and exits with its status.\n");
}

bool ParseId(const char* s, uint16_t* out)
{
    char* end = nullptr;
    unsigned long v = strtoul(s, &end, 0);
    if (!end || *end || v > 0xFFFF)
        return false;
    *out = (uint16_t)v;
    return true;
}

bool ParseHex(const std::string& s, Bytes* out)
{
    out->clear();
    std::string digits;
    for (char c : s)
        if (c != ' ' && c != ':')
            digits += c;
    if (digits.empty() || digits.size() % 2)
        return false;
    for (size_t i = 0; i < digits.size(); i += 2) {
        char* end = nullptr;
        std::string two = digits.substr(i, 2);
        unsigned long v = strtoul(two.c_str(), &end, 16);
        if (*end)
            return false;
        out->push_back((uint8_t)v);
    }
    return true;
}

std::string HexLine(const Bytes& b)
{
    std::string s;
    char buf[4];
    for (size_t i = 0; i < b.size(); ++i) {
        snprintf(buf, sizeof buf, i ? " %02x" : "%02x", b[i]);
        s += buf;
    }
    return s;
}

// True once the child has ended; leaves it to be reaped later.
bool ChildEnded(pid_t child)
{
    if (child <= 0)
        return false;
    siginfo_t info;
    memset(&info, 0, sizeof info);
    return waitid(P_PID, (id_t)child, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == child;
}

// Sleeps in small steps so that a signal or the end of the child cuts the
// wait short.
void Pause(int ms, pid_t child)
{
    for (int waited = 0; waited < ms && !g_stop; waited += 20) {
        if (ChildEnded(child))
            return;
        usleep(20 * 1000);
    }
}

struct Reply {
    Bytes prefix, answer;
};

} // namespace

int main(int argc, char** argv)
{
    zt::sim::ZTSimEnsurePreload(argc, argv);

    uint16_t vendor = 0, product = 0;
    bool haveVendor = false, haveProduct = false, keep = false;
    std::string name, play;
    double speed = 1.0;
    int delayMs = 2000, lingerMs = 1000;
    std::vector<Reply> replies;
    std::vector<char*> command;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char* what) -> const char* {
            if (i + 1 >= argc) {
                fprintf(stderr, "boardsim: %s needs a value\n", what);
                exit(2);
            }
            return argv[++i];
        };
        if (a == "--") {
            for (++i; i < argc; ++i)
                command.push_back(argv[i]);
            break;
        } else if (a == "--vendor") {
            haveVendor = ParseId(value("--vendor"), &vendor);
            if (!haveVendor)
                return Usage(), 2;
        } else if (a == "--product") {
            haveProduct = ParseId(value("--product"), &product);
            if (!haveProduct)
                return Usage(), 2;
        } else if (a == "--name") {
            name = value("--name");
        } else if (a == "--play") {
            play = value("--play");
        } else if (a == "--speed") {
            speed = atof(value("--speed"));
        } else if (a == "--delay-ms") {
            delayMs = atoi(value("--delay-ms"));
        } else if (a == "--linger-ms") {
            lingerMs = atoi(value("--linger-ms"));
        } else if (a == "--reply") {
            std::string r = value("--reply");
            size_t eq = r.find('=');
            Reply rep;
            if (eq == std::string::npos || !ParseHex(r.substr(0, eq), &rep.prefix) ||
                !ParseHex(r.substr(eq + 1), &rep.answer)) {
                fprintf(stderr, "boardsim: --reply wants HEX=HEX, got %s\n", r.c_str());
                return 2;
            }
            replies.push_back(rep);
        } else if (a == "--keep") {
            keep = true;
        } else if (a == "-h" || a == "--help") {
            Usage();
            return 0;
        } else {
            fprintf(stderr, "boardsim: unknown option %s\n", a.c_str());
            Usage();
            return 2;
        }
    }

    zt::sim::HidRecording rec;
    if (!play.empty()) {
        std::string err;
        if (!zt::sim::LoadHidRecording(play, &rec, &err)) {
            fprintf(stderr, "boardsim: %s: %s\n", play.c_str(), err.c_str());
            return 2;
        }
        if (!haveVendor && rec.vendor) {
            vendor = (uint16_t)rec.vendor;
            haveVendor = true;
        }
        if (!haveProduct && rec.product) {
            product = (uint16_t)rec.product;
            haveProduct = true;
        }
        if (name.empty())
            name = rec.name;
    }
    if (!haveVendor || !haveProduct) {
        fprintf(stderr, "boardsim: vendor and product ids are needed\n");
        Usage();
        return 2;
    }
    if (name.empty())
        name = "Simulated board";

    signal(SIGINT, OnSignal);
    signal(SIGTERM, OnSignal);
    signal(SIGHUP, SIG_IGN);

    zt::sim::SimOptions opt;
    opt.descriptor = rec.descriptor;
    zt::sim::CBoardSim board;
    if (!replies.empty()) {
        board.SetResponder([replies](const Bytes& sent) {
            std::vector<Bytes> out;
            for (const Reply& r : replies)
                if (sent.size() >= r.prefix.size() &&
                    std::equal(r.prefix.begin(), r.prefix.end(), sent.begin()))
                    out.push_back(r.answer);
            return out;
        });
    }
    if (!board.Plug(vendor, product, name, opt)) {
        fprintf(stderr, "boardsim: cannot plug the board\n");
        return 1;
    }
    printf("boardsim: plugged %04x:%04x \"%s\" at %s (%s)\n", vendor, product, name.c_str(),
           board.DevNode().c_str(), board.InterfaceDevPath().c_str());
    fflush(stdout);

    pid_t child = -1;
    if (!command.empty()) {
        command.push_back(nullptr);
        fflush(nullptr);
        child = fork();
        if (child == 0) {
            signal(SIGHUP, SIG_DFL);
            execvp(command[0], command.data());
            fprintf(stderr, "boardsim: cannot run %s: %s\n", command[0], strerror(errno));
            _exit(127);
        }
        if (child < 0) {
            perror("boardsim: fork");
            return 1;
        }
    }

    Pause(delayMs, child);
    if (!play.empty() && !g_stop) {
        printf("boardsim: playing %zu reports from %s\n", rec.events.size(), play.c_str());
        fflush(stdout);
        board.PlayRecording(rec, speed);
        while (!g_stop && !board.WaitPlayed(50))
            if (ChildEnded(child))
                break;
        board.WaitDrained(1000);
    }
    if (keep) {
        while (!g_stop && !ChildEnded(child))
            usleep(50 * 1000);
    } else {
        Pause(lingerMs, child);
    }

    board.Unplug();
    printf("boardsim: unplugged\n");
    fflush(stdout);
    int status = 0;
    if (child > 0) {
        // Give the program time to notice the removal before it is ended.
        Pause(1500, child);
        if (waitpid(child, &status, WNOHANG) == 0) {
            kill(child, SIGTERM);
            for (int i = 0; i < 100 && waitpid(child, &status, WNOHANG) == 0; ++i)
                usleep(50 * 1000);
            if (waitpid(child, &status, WNOHANG) == 0) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
            }
        }
    }

    std::vector<Bytes> sent = board.SentReports();
    std::vector<Bytes> features = board.SentFeatures();
    printf("boardsim: %zu output reports, %zu feature reports received\n", sent.size(),
           features.size());
    for (const Bytes& b : sent)
        printf("boardsim: output  %s\n", HexLine(b).c_str());
    for (const Bytes& b : features)
        printf("boardsim: feature %s\n", HexLine(b).c_str());
    fflush(stdout);
    if (child > 0)
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return 0;
}
