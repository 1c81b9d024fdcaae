// reference_picture: writes the picture the reference render pass gives for a
// view and canvas size as a binary PPM, for the end-to-end screenshot check.
// Usage: reference_picture XMIN XMAX YMIN YMAX WIDTH HEIGHT OUT.ppm
#include "reference_render.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool parseDouble(const char* text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0';
}

bool parseSize(const char* text, int& value)
{
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < 2 || v > 16384)
        return false;
    value = int(v);
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    reference::View view{};
    int width = 0, height = 0;
    if (argc != 8 || !parseDouble(argv[1], view.xMin) || !parseDouble(argv[2], view.xMax) ||
        !parseDouble(argv[3], view.yMin) || !parseDouble(argv[4], view.yMax) ||
        !parseSize(argv[5], width) || !parseSize(argv[6], height)) {
        std::fprintf(stderr, "usage: %s XMIN XMAX YMIN YMAX WIDTH HEIGHT OUT.ppm\n", argv[0]);
        return 2;
    }

    const reference::Picture picture = reference::render(view, width, height);

    // Colours are red + 256 green + 65536 blue; PPM wants R, G, B bytes.
    std::vector<unsigned char> bytes;
    bytes.reserve(std::size_t(width) * height * 3);
    for (const std::int32_t colour : picture.colour) {
        bytes.push_back(static_cast<unsigned char>(colour & 0xff));
        bytes.push_back(static_cast<unsigned char>((colour >> 8) & 0xff));
        bytes.push_back(static_cast<unsigned char>((colour >> 16) & 0xff));
    }

    std::FILE* out = std::fopen(argv[7], "wb");
    if (!out) {
        std::perror(argv[7]);
        return 1;
    }
    const std::string header =
        "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    const bool ok = std::fwrite(header.data(), 1, header.size(), out) == header.size() &&
                    std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (std::fclose(out) != 0 || !ok) {
        std::fprintf(stderr, "%s: write failed\n", argv[7]);
        return 1;
    }
    return 0;
}
