// Program headers: the reader is asked for no byte past the file, a PE file bears its marks, and a
// file called whole is no longer whole once cut inside its headers, a section or its certificates.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "launcher/program_image.h"

using namespace launcher;

namespace {

[[noreturn]] void Fail(const char *what, std::uint64_t value) {
    std::fprintf(stderr, "fuzz_program_image: %s (%llu)\n", what,
                 static_cast<unsigned long long>(value));
    std::abort();
}

ImageFacts FactsOf(const std::uint8_t *data, std::uint64_t size) {
    return ReadImageFacts(size, [&](std::uint64_t offset, void *buffer, std::size_t count) {
        if (offset >= size || count > size - offset)
            Fail("asked for bytes past the file, at", offset);
        std::memcpy(buffer, data + offset, count);
        return kNoError;
    });
}

// A little-endian field; zero past the end of the data, as the caller checks.
std::uint64_t Little(const std::uint8_t *data, std::uint64_t size, std::uint64_t at, int width) {
    std::uint64_t value = 0;
    for (int i = width; i-- > 0;)
        value = value << 8 | (at + i < size ? data[at + i] : 0);
    return value;
}

struct Region {
    std::uint64_t begin, end;
};

// What a file called whole holds, where the format places it: the headers, each section's raw data
// and the certificate table. Every field read for it must lie within the file.
std::vector<Region> WholeRegions(const std::uint8_t *data, std::uint64_t size, bool &signature) {
    const auto at = [&](std::uint64_t offset, int width) {
        if (offset + width > size)
            Fail("whole, yet a header field lies past the file, at", offset);
        return Little(data, size, offset, width);
    };
    const std::uint64_t pe = at(0x3C, 4), optional = pe + 24, optionalSize = at(pe + 20, 2);
    const std::uint64_t table = optional + optionalSize, tableEnd = table + 40 * at(pe + 6, 2);
    const std::uint64_t magic = optionalSize >= 2 ? at(optional, 2) : 0;
    const std::uint64_t directories = optional + (magic == 0x10B ? 96 : 112);
    const bool known = (magic == 0x10B || magic == 0x20B) && directories <= table;
    std::vector<Region> regions = {
        {0, std::max({std::uint64_t{64}, tableEnd, known ? at(optional + 60, 4) : 0})}};
    for (std::uint64_t entry = table; entry < tableEnd; entry += 40)
        regions.push_back({at(entry + 20, 4), at(entry + 20, 4) + at(entry + 16, 4)});
    signature = known && at(directories - 4, 4) > 4 && directories + 40 <= table &&
                at(directories + 36, 4) != 0;
    if (signature)
        regions.push_back(
            {at(directories + 32, 4), at(directories + 32, 4) + at(directories + 36, 4)});
    return regions;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const ImageFacts facts = FactsOf(data, size);
    if (facts.readError != kNoError)
        Fail("a read error no read gave", facts.readError);
    const std::uint64_t peAt = Little(data, size, 0x3C, 4);
    if ((facts.isPortableExecutable || facts.isProgram || facts.isWhole) &&
        (size < 64 || std::memcmp(data, "MZ", 2) != 0 || peAt + 4 > size ||
         std::memcmp(data + peAt, "PE\0\0", 4) != 0))
        Fail("a PE file without MZ, or PE\\0\\0 where its header offset points", peAt);
    if (!facts.isWhole)
        return 0;

    bool signature = false;
    const std::vector<Region> regions = WholeRegions(data, size, signature);
    if (signature != facts.carriesSignature)
        Fail("a certificate table seen differently", signature);
    std::uint64_t salt = size;
    for (std::size_t i = 0; i < size; ++i)
        salt = salt * 1099511628211ULL ^ data[i];
    for (const Region &region : regions)
        if (region.end > size)
            Fail("whole, yet a region ends past the file, at", region.end);
    // The headers, the last region (the certificate table when there is one) and one picked.
    for (std::size_t index : {std::size_t{0}, regions.size() - 1, salt % regions.size()}) {
        const Region &region = regions[index];
        if (region.begin == region.end)
            continue;
        for (std::uint64_t cut :
             {region.end - 1, region.begin + (salt >> 7) % (region.end - region.begin)})
            if (FactsOf(data, cut).isWhole)
                Fail("still whole when cut at", cut);
    }
    return 0;
}
