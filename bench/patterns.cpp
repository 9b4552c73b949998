// What the name patterns cost per name, apart from the search: the two patterns of the patterned
// listing of bench-age-listing, against the names bench_make_tree gives. Prints nanoseconds per
// name.
#include "core/name_patterns.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

int main()
{
    const core::NamePatterns patterns = core::NamePatterns::parse("*.tmp;DATEI-*.LOG", "bench");
    std::vector<std::string> names;
    for (int i = 0; i < 200'000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "datei-%07d.log", i);
        names.emplace_back(name);
    }
    constexpr int kRounds = 20;
    std::size_t matched = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < kRounds; ++round) {
        for (const std::string &name : names)
            matched += patterns.matchesAny(name) ? 1 : 0;
    }
    const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
    if (matched != names.size() * kRounds) {
        std::fprintf(stderr, "a name of the tree did not match\n");
        return 1;
    }
    std::printf("%.1f\n", took.count() / static_cast<double>(matched));
    return 0;
}
