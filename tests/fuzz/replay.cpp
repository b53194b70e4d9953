// Runs the fuzz target once on every file of the given corpus directories, so that an ordinary
// build (with or without sanitizers) replays the committed corpus as a plain test.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

int main(int argc, char *argv[])
{
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        for (const auto &entry : std::filesystem::directory_iterator(argv[i])) {
            if (!entry.is_regular_file())
                continue;
            std::ifstream file(entry.path(), std::ios::binary);
            const std::vector<char> bytes {
                std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
            // Every prefix as well: each one is a shorter, truncated broadcast.
            for (std::size_t size = 0; size <= bytes.size(); ++size) {
                LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.data()), size);
                ++replayed;
            }
        }
    }
    std::printf("replayed %d inputs\n", replayed);
    return replayed > 0 ? 0 : 1;
}
