// Runs a fuzz target's entry point on the files it is given, one input a
// file (a folder's files in turn), outside libFuzzer: the normal build makes
// every target this way, so that a target that no longer compiles is seen
// at once, and a crash file can be run under a debugger.
//   replay_fuzz_X FILE|FOLDER ...
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {
void runFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}
} // namespace

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path p(argv[i]);
        if (std::filesystem::is_directory(p)) {
            for (const auto& entry : std::filesystem::directory_iterator(p))
                if (entry.is_regular_file()) {
                    runFile(entry.path());
                    ++inputs;
                }
        } else {
            runFile(p);
            ++inputs;
        }
    }
    // With no file, the empty input: a target must take it.
    if (inputs == 0)
        LLVMFuzzerTestOneInput(nullptr, 0);
    std::printf("%d inputs\n", inputs);
    return 0;
}
