// main() of a fuzz target outside a libFuzzer build: runs every file given
// (or every file of every folder given) through the target once, so that the
// committed corpus and the inputs of past crashes are a test of every build.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzSupport.h"

namespace {
void Collect(const std::string& path, std::vector<std::string>* out)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return;
    if (!S_ISDIR(st.st_mode)) {
        out->push_back(path);
        return;
    }
    DIR* d = opendir(path.c_str());
    if (!d)
        return;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.')
            Collect(path + "/" + e->d_name, out);
    closedir(d);
}
} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i)
        Collect(argv[i], &files);
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        fprintf(stderr, "no inputs found\n");
        return 2;
    }
    // Read first: the target's set-up may change the working directory.
    std::vector<std::string> inputs;
    for (const std::string& f : files) {
        inputs.emplace_back();
        if (!ztfuzz::ReadFile(f, &inputs.back())) {
            fprintf(stderr, "cannot read %s\n", f.c_str());
            return 2;
        }
    }
    LLVMFuzzerInitialize(&argc, &argv);
    for (size_t i = 0; i < files.size(); ++i) {
        fprintf(stderr, "replay %s (%zu bytes)\n", files[i].c_str(), inputs[i].size());
        LLVMFuzzerTestOneInput((const uint8_t*)inputs[i].data(), inputs[i].size());
    }
    fprintf(stderr, "replayed %zu inputs\n", files.size());
    return 0;
}
