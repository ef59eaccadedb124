// Writes examples/sample.zoz from its readable source: the project JSON and one photo colour
// per member. Usage: make_sample <source.json> <target.zoz>
#include "document/data_map_service.hpp"
#include "document/image_codec.hpp"
#include "document/json_coding.hpp"
#include "document/zoz_project.hpp"
#include "document/zoz_x.hpp"

#include "core/uuid.hpp"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_sample <source.json> <target.zoz>\n");
        return 2;
    }
    try {
        std::ifstream in(argv[1], std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        const auto project = document::decodeJsonProject(text.str());
        if (!in || !project) {
            std::fprintf(stderr, "cannot read %s\n", argv[1]);
            return 1;
        }
        const fs::path working =
            fs::temp_directory_path() / ("make-sample-" + core::Uuid::random().uuidString());
        fs::create_directories(working / "Photo");
        // Each member's photo is a small square in a colour of its own.
        constexpr std::uint32_t kSide = 48;
        int index = 0;
        for (const auto& member : project->peoples.value_or(std::vector<document::JsonPeople>{})) {
            if (!member.photoId) {
                continue;
            }
            std::vector<std::uint8_t> rgb(std::size_t{kSide} * kSide * 3);
            for (std::size_t i = 0; i < rgb.size(); i += 3) {
                rgb[i] = static_cast<std::uint8_t>(60 + 35 * index);
                rgb[i + 1] = static_cast<std::uint8_t>(200 - 25 * index);
                rgb[i + 2] = static_cast<std::uint8_t>(120 + ((i / 3) % kSide) * 2);
            }
            const auto jpeg = document::encodeJpeg(rgb, kSide, kSide);
            std::ofstream(working / "Photo" / (*member.photoId + ".jpg"), std::ios::binary)
                .write(reinterpret_cast<const char*>(jpeg.data()),
                       static_cast<std::streamsize>(jpeg.size()));
            ++index;
        }
        // Through the model, as any project is written: what the sample holds is what a
        // reader makes of its source.
        const auto model = document::DataMapService::map(*project);
        if (!model) {
            std::fprintf(stderr, "%s is not a valid project\n", argv[1]);
            return 1;
        }
        const document::ZozX::Manager manager;
        const files::VtFolder folder(working);
        manager.saveProject(*model, folder);
        manager.zozFile(*model, folder, files::VtFile(fs::absolute(argv[2])));
        fs::remove_all(working);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_sample: %s\n", error.what());
        return 1;
    }
    return 0;
}
