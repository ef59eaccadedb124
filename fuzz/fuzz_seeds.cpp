// Writes the fuzzers' seed corpora with our own writer: small generated projects as documents
// and as "project.moc" texts. Usage: fuzz_seeds <corpus folder>; makes unzip/, project_json/
// and load_report/ inside it, and zone_file/ with a few of the system's compiled zone files.
#include "fuzz_support.hpp"
#include "project_generator.hpp"

#include "document/json_coding.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    fuzz::fixEnvironment();
    const fs::path corpus = argv[1];
    for (const char* name : {"unzip", "project_json", "load_report", "zone_file"}) {
        fs::create_directories(corpus / name);
    }
    for (std::uint64_t seed = 1; seed <= 6; ++seed) {
        bench::ProjectPlan plan = bench::ProjectPlan::tiny();
        plan.seed = seed;
        // Photos make documents large, which slows every run; two seeds keep them.
        plan.photoSide = seed <= 2 ? 8 : 0;
        plan.taskCount += static_cast<int>(seed) * 3;
        const std::string stem = "seed" + std::to_string(seed);

        const fs::path working = fuzz::scratchFolder() / stem;
        const fs::path document = corpus / "load_report" / (stem + ".zoz");
        bench::writeProjectDocument(plan, working, document);
        fs::copy_file(document, corpus / "unzip" / (stem + ".zip"),
                      fs::copy_options::overwrite_existing);

        std::ofstream json(corpus / "project_json" / (stem + ".json"), std::ios::binary);
        json << document::encodeJsonProjectText(bench::generateJsonProject(plan), seed % 2 == 0);
        fs::remove_all(working);
    }
    fs::remove_all(fuzz::scratchFolder());
    // Zones with unusual rules: half-hour daylight saving, negative saving, a rule past 24:00, a
    // table far into the future, a skipped day, no daylight saving.
    for (const char* zone : {"Australia/Lord_Howe", "Europe/Dublin", "Asia/Jerusalem",
                             "Africa/Casablanca", "Pacific/Kiritimati", "America/Nuuk", "UTC"}) {
        std::error_code error;
        std::string name(zone);
        std::replace(name.begin(), name.end(), '/', '_');
        fs::copy_file(fs::path("/usr/share/zoneinfo") / zone, corpus / "zone_file" / name,
                      fs::copy_options::overwrite_existing, error);
    }
    return 0;
}
