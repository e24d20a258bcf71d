// Builds an icon file (.ico) from text pictures, one image a picture, in the order given:
//
//   make_icons OUT.ico PICTURE.txt...           writes OUT.ico
//   make_icons --check OUT.ico PICTURE.txt...   fails unless OUT.ico holds exactly those bytes
//
// A picture is one text line a pixel row, top row first, one character a pixel
// ('.' black, 'R' red, 'W' white); lines starting with '#' are comments. Every image is
// stored the way the classic resource editors stored 16-colour icons: a BITMAPINFOHEADER
// of twice the picture's height, the standard 16-colour palette, 4-bit colour rows and a
// 1-bit AND mask, both bottom row first, every row padded to 4 bytes. The mask is all zero
// because every pixel is opaque.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<int> pixels;  // palette indices, row by row from the top
};

// The standard 16-colour palette, as red, green, blue.
constexpr unsigned char kPalette[16][3] = {
    {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
    {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
};

int PaletteIndex(char c) {
    switch (c) {
    case '.': return 0;
    case 'R': return 9;
    case 'W': return 15;
    default: return -1;
    }
}

bool ReadPicture(const std::string& path, Picture& picture) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "%s: cannot open\n", path.c_str());
        return false;
    }
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (line.empty() || line[0] == '#')
            continue;
        if (picture.height > 0 && static_cast<int>(line.size()) != picture.width) {
            std::fprintf(stderr, "%s:%d: row of %zu pixels, expected %d\n", path.c_str(),
                         lineNumber, line.size(), picture.width);
            return false;
        }
        picture.width = static_cast<int>(line.size());
        for (char c : line) {
            const int index = PaletteIndex(c);
            if (index < 0) {
                std::fprintf(stderr, "%s:%d: unknown pixel '%c'\n", path.c_str(), lineNumber, c);
                return false;
            }
            picture.pixels.push_back(index);
        }
        ++picture.height;
    }
    if (picture.height == 0 || picture.width > 255 || picture.height > 255) {
        std::fprintf(stderr, "%s: a picture needs 1 to 255 rows and columns\n", path.c_str());
        return false;
    }
    return true;
}

void Put16(std::vector<unsigned char>& out, unsigned value) {
    out.push_back(static_cast<unsigned char>(value));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

void Put32(std::vector<unsigned char>& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

int RowBytes(int width, int bitsPerPixel) {
    return (width * bitsPerPixel + 31) / 32 * 4;
}

std::vector<unsigned char> IconImage(const Picture& p) {
    const int colourRow = RowBytes(p.width, 4);
    const int maskRow = RowBytes(p.width, 1);
    const std::uint32_t bitsSize = static_cast<std::uint32_t>((colourRow + maskRow) * p.height);
    std::vector<unsigned char> out;
    Put32(out, 40);                                    // biSize
    Put32(out, static_cast<std::uint32_t>(p.width));   // biWidth
    Put32(out, static_cast<std::uint32_t>(2 * p.height));  // colour rows and mask rows
    Put16(out, 1);                                     // biPlanes
    Put16(out, 4);                                     // biBitCount
    Put32(out, 0);                                     // biCompression: BI_RGB
    Put32(out, bitsSize);                              // biSizeImage
    Put32(out, 0);                                     // biXPelsPerMeter
    Put32(out, 0);                                     // biYPelsPerMeter
    Put32(out, 0);                                     // biClrUsed: all 16
    Put32(out, 0);                                     // biClrImportant
    for (const auto& rgb : kPalette) {
        out.push_back(rgb[2]);
        out.push_back(rgb[1]);
        out.push_back(rgb[0]);
        out.push_back(0);
    }
    for (int row = p.height - 1; row >= 0; --row) {
        std::vector<unsigned char> bytes(static_cast<size_t>(colourRow), 0);
        for (int column = 0; column < p.width; ++column) {
            const int index = p.pixels[static_cast<size_t>(row * p.width + column)];
            bytes[static_cast<size_t>(column / 2)] |=
                static_cast<unsigned char>(column % 2 == 0 ? index << 4 : index);
        }
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    out.insert(out.end(), static_cast<size_t>(maskRow * p.height), 0);
    return out;
}

std::vector<unsigned char> IconFile(const std::vector<Picture>& pictures) {
    std::vector<std::vector<unsigned char>> images;
    for (const Picture& p : pictures)
        images.push_back(IconImage(p));

    std::vector<unsigned char> out;
    Put16(out, 0);  // reserved
    Put16(out, 1);  // an icon, not a cursor
    Put16(out, static_cast<unsigned>(pictures.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * pictures.size());
    for (size_t i = 0; i < pictures.size(); ++i) {
        out.push_back(static_cast<unsigned char>(pictures[i].width));
        out.push_back(static_cast<unsigned char>(pictures[i].height));
        out.push_back(16);  // colours
        out.push_back(0);   // reserved
        Put16(out, 1);      // planes
        Put16(out, 4);      // bits per pixel
        Put32(out, static_cast<std::uint32_t>(images[i].size()));
        Put32(out, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const auto& image : images)
        out.insert(out.end(), image.begin(), image.end());
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    int first = 1;
    const bool check = argc > 1 && std::string(argv[1]) == "--check";
    if (check)
        ++first;
    if (argc - first < 2) {
        std::fprintf(stderr, "usage: make_icons [--check] OUT.ico PICTURE.txt...\n");
        return 2;
    }
    const std::string target = argv[first];
    std::vector<Picture> pictures;
    for (int i = first + 1; i < argc; ++i) {
        Picture picture;
        if (!ReadPicture(argv[i], picture))
            return 1;
        pictures.push_back(picture);
    }
    const std::vector<unsigned char> bytes = IconFile(pictures);

    if (check) {
        std::ifstream in(target, std::ios::binary);
        const std::vector<unsigned char> existing{std::istreambuf_iterator<char>(in),
                                                  std::istreambuf_iterator<char>()};
        if (existing != bytes) {
            std::fprintf(stderr, "%s differs from its pictures; build the target 'icons'\n",
                         target.c_str());
            return 1;
        }
        return 0;
    }
    std::ofstream out(target, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot write\n", target.c_str());
        return 1;
    }
    return 0;
}
