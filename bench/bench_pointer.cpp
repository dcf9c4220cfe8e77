// Prints the cost of the per-sample work of the pointer path: a grid
// conversion (every calibration layout), a projective conversion of the
// camera board, a tracking step at 2, 6 and 10 contacts and, when an X
// display is reachable, one pointer move flushed to the server.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "App/ZTBoardHost.h"
#include "Linux/MouseCtrlLinux.h"
#include "Pointer/Conversion.h"
#include "Track/TouchTracker.h"

namespace {

typedef std::chrono::steady_clock Clock;

class BenchHost : public CZTBoardQuietHost {
public:
    bool IsWorkRun() override { return true; }
    void GetScreenSize(int* w, int* h) override
    {
        *w = 1920;
        *h = 1080;
    }
};

std::string Grid(int cols, int rows, double x0, double x1, double y0, double y1)
{
    std::string s = "dotNum=\"" + std::to_string(cols * rows) + "\"";
    int k = 0;
    for (int i = 0; i < cols; ++i)
        for (int j = 0; j < rows; ++j) {
            char buf[96];
            // A slight skew, as a measured grid has.
            snprintf(buf, sizeof buf, " dot%d=\"(%f,%f)\"", k++, x0 + i * (x1 - x0) / (cols - 1) + 13 * j,
                     y0 + j * (y1 - y0) / (rows - 1) + 7 * i);
            s += buf;
        }
    return s;
}

void WriteConfig(const std::string& irqGrid, const std::string& ltGrid)
{
    std::ofstream out("Config/config.xml", std::ios::trunc);
    out << "<?xml version=\"1.0\"?>\n<ZTBoard>\n"
        << "<ZTBoardWorkIRQ><coordinate " << irqGrid << "/></ZTBoardWorkIRQ>\n"
        << "<ZTBoardWorkLT><coordinate " << ltGrid << "/></ZTBoardWorkLT>\n</ZTBoard>\n";
}

std::vector<BoardPoint> Samples(double w, double h, int n)
{
    std::vector<BoardPoint> v(n);
    unsigned s = 12345;
    for (BoardPoint& p : v) {
        s = s * 1103515245 + 12345;
        p.x = (s >> 8) % (unsigned)w;
        s = s * 1103515245 + 12345;
        p.y = (s >> 8) % (unsigned)h;
    }
    return v;
}

// Runs a conversion over the samples, quietly; returns ns per call.
double TimeConvert(CConversionBase* c, const std::vector<BoardPoint>& pts, bool point)
{
    const int rounds = 1000;
    long sum = 0;
    Clock::time_point t0 = Clock::now();
    for (int r = 0; r < rounds; ++r)
        for (const BoardPoint& p : pts) {
            if (point) {
                int xy[2] = {0, 0};
                c->ConvertPoint(&p, xy);
                sum += xy[0];
            } else {
                sum += c->Convert(&p).x;
            }
        }
    double ns = std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
    if (sum == 42)
        printf(" ");
    return ns / (rounds * pts.size());
}

// Sends the components' diagnostic lines to /dev/null while it lives.
class Quiet {
public:
    Quiet()
    {
        fflush(stdout);
        m_saved = dup(1);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        close(null);
    }
    ~Quiet()
    {
        fflush(stdout);
        dup2(m_saved, 1);
        close(m_saved);
    }

private:
    int m_saved;
};

CConversionBase* Build(const char* workType)
{
    Quiet q;
    CConversionBase* c = CreateConversion(workType, "coordinate");
    InitConversion(c);
    return c;
}

void BenchConversions()
{
    const int layouts[][2] = {{2, 2}, {3, 3}, {4, 3}, {5, 4}, {5, 5}};
    const std::string lt = Grid(2, 2, 401, 2746, 333, 2111);
    for (const auto& l : layouts) {
        WriteConfig(Grid(l[0], l[1], 1000, 32000, 500, 32000), lt);
        CConversionBase* c = Build("ZTBoardWorkIRQ");
        double ns = TimeConvert(c, Samples(32767, 32767, 4096), false);
        printf("Convert, %2d points (%d x %d): %7.1f ns\n", l[0] * l[1], l[0], l[1], ns);
        delete c;
    }
    const int atf[][2] = {{2, 2}, {3, 3}, {5, 4}, {5, 5}};
    for (const auto& l : atf) {
        WriteConfig(Grid(2, 2, 1000, 32000, 500, 32000), Grid(l[0], l[1], 401, 2746, 333, 2111));
        CConversionBase* c = Build("ZTBoardWorkLT");
        double ns = TimeConvert(c, Samples(3200, 2400, 4096), true);
        printf("ATF ConvertPoint, %2d points (%d x %d): %7.1f ns\n", l[0] * l[1], l[0], l[1], ns);
        Quiet q;
        delete c;
    }
}

void BenchTracker()
{
    const int counts[] = {2, 6, 10};
    for (int n : counts) {
        const int frames = 20000;
        std::vector<std::vector<TrackPoint>> script(frames);
        for (int f = 0; f < frames; ++f)
            for (int k = 0; k < n; ++k)
                // Contacts 150 pixels apart, each moving 3 pixels a frame;
                // every 500 frames all lift and land again.
                if (f % 500 != 499)
                    script[f].push_back(TrackPoint(100 + 150 * k + 3 * (f % 100), 300 + 2 * (f % 100)));
        CTouchTracker t;
        std::vector<TrackPoint> list;
        list.reserve(2 * n);
        Clock::time_point t0 = Clock::now();
        long ids = 0;
        for (int f = 0; f < frames; ++f) {
            list = script[f];
            t.Track(list);
            ids += list.empty() ? 0 : list[0].id;
        }
        double us = std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
        printf("Track, %2d contacts: %6.2f us per frame%s\n", n, us / frames, ids == -1 ? " " : "");
    }
}

void BenchPointer()
{
    if (!getenv("DISPLAY"))
        return;
    std::unique_ptr<CMouseCtrlLinux> m;
    {
        Quiet q;
        m.reset(new CMouseCtrlLinux("ZTBoardWorkIRQ"));
    }
    if (!m->m_pDisplay)
        return;
    const int n = 20000;
    Clock::time_point t0 = Clock::now();
    for (int i = 0; i < n; ++i)
        m->MouseEvent(100 + i % 800, 100 + i % 600, MOUSE_MOVE);
    double us = std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
    {
        Quiet q;
        m.reset();
    }
    printf("MouseEvent (move) with XFlush: %6.2f us\n", us / n);
}

} // namespace

int main()
{
    static BenchHost host;
    ZTSetHost(&host);
    // The conversions read Config/config.xml from the current directory.
    const char* base = getenv("TMPDIR");
    std::string dir = std::string(base ? base : "/tmp") + "/zt-bench-pointer-XXXXXX";
    std::vector<char> buf(dir.begin(), dir.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        return 1;
    std::string work = buf.data();
    if (chdir(work.c_str()) != 0 || mkdir("Config", 0755) != 0)
        return 1;
    BenchConversions();
    BenchTracker();
    BenchPointer();
    unlink("Config/config.xml");
    rmdir("Config");
    if (chdir("/") == 0)
        rmdir(work.c_str());
    return 0;
}
