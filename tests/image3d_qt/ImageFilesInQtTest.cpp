// Files written by the image library, decoded by independent readers: Qt's BMP reader, its
// "tga" image-format plugin and netpbm's tgatoppm must see the same pixel colours.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QImageReader>
#include <QString>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "image3d/Image3D24.h"
#include "image3d/Image3D8.h"

namespace {

std::string TempPath(const std::string &name) {
    const std::filesystem::path dir = std::filesystem::path(testing::TempDir()) / "vorna_qt";
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

// Qt's TGA plugin reads only files that end in the TGA 2.0 footer. Our files are plain TGA 1.0
// (the footer is optional); the footer is appended to a copy, which changes no header field or
// pixel byte.
std::string WithTGAFooter(const std::string &path) {
    const std::string copy = path + ".v2.tga";
    std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
    std::ofstream out(copy, std::ios::binary | std::ios::app);
    const char footer[26] = {0,   0,   0,   0,   0,   0,   0,   0,   'T', 'R', 'U', 'E', 'V',
                             'I', 'S', 'I', 'O', 'N', '-', 'X', 'F', 'I', 'L', 'E', '.', 0};
    out.write(footer, sizeof footer);
    return copy;
}

QImage Decode(const std::string &written, const char *format) {
    const std::string path = std::string(format) == "tga" ? WithTGAFooter(written) : written;
    QImageReader reader(QString::fromStdString(path), format);
    QImage image = reader.read();
    EXPECT_FALSE(image.isNull()) << path << ": " << reader.errorString().toStdString();
    return image;
}

// 7 x 5 (odd width: padded lines) with a palette of distinct colours, pixel (x, y) = 3x + 17y.
void MakeIndexed(Image3D8 &image) {
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(image.SetColorRGBA(i, i, (7 * i) & 255, 255 - i, 0), ColorMapRGBA8::MapDone);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) image.SetPixelValue(3 * x + 17 * y, x, y, 0);
}

void ExpectIndexedColours(const QImage &decoded, const Image3D8 &image) {
    ASSERT_EQ(decoded.width(), image.GetSizeX());
    ASSERT_EQ(decoded.height(), image.GetSizeY());
    for (int y = 0; y < decoded.height(); ++y) {
        for (int x = 0; x < decoded.width(); ++x) {
            const int index = image.GetPtrFirstPixel()[y * image.GetLineOffset() + x];
            const unsigned char *entry = image.GetPtrFirstEntry() + 4 * index;
            const QRgb got = decoded.pixel(x, y);
            EXPECT_EQ(qRed(got), entry[2]) << x << "," << y;
            EXPECT_EQ(qGreen(got), entry[1]) << x << "," << y;
            EXPECT_EQ(qBlue(got), entry[0]) << x << "," << y;
        }
    }
}

// 5 x 3 (15 bytes per line: padded) with red x, green y, blue x y.
void MakeTrueColour(Image3D24 &image) {
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) image.SetPixelValue(50 * x, 100 * y, 10 + 20 * x * y, x, y, 0);
}

void ExpectTrueColours(const QImage &decoded) {
    ASSERT_EQ(decoded.width(), 5);
    ASSERT_EQ(decoded.height(), 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            const QRgb got = decoded.pixel(x, y);
            EXPECT_EQ(qRed(got), 50 * x) << x << "," << y;
            EXPECT_EQ(qGreen(got), 100 * y) << x << "," << y;
            EXPECT_EQ(qBlue(got), 10 + 20 * x * y) << x << "," << y;
        }
    }
}

}  // namespace

TEST(ImageFilesInQt, EightBitBMPDecodesToPaletteColours) {
    Image3D8 image("i", 7, 5, 1, 0);
    MakeIndexed(image);
    const std::string path = TempPath("indexed.bmp");
    ASSERT_EQ(image.SaveFileBMP(path.c_str(), 0), Image3D8::Done);
    ExpectIndexedColours(Decode(path, "bmp"), image);
}

TEST(ImageFilesInQt, TrueColourBMPDecodesToSameColours) {
    Image3D24 image("i", 5, 3, 1, 0);
    MakeTrueColour(image);
    const std::string path = TempPath("true.bmp");
    ASSERT_EQ(image.SaveFileBMP(path.c_str(), 0), Image3D24::Done);
    ExpectTrueColours(Decode(path, "bmp"));
}

TEST(ImageFilesInQt, TrueColourTGADecodesToSameColours) {
    ASSERT_TRUE(QImageReader::supportedImageFormats().contains("tga"));
    Image3D24 image("i", 5, 3, 1, 0);
    MakeTrueColour(image);
    const std::string path = TempPath("true.tga");
    ASSERT_EQ(image.SaveFileTGA(path.c_str(), 0), Image3D24::Done);
    ExpectTrueColours(Decode(path, "tga"));
}

// Qt's "tga" plugin reads true-colour files only, so the colour-mapped TGA goes through a second
// independent decoder, netpbm's tgatoppm, whose binary PPM output is compared pixel by pixel.
QImage DecodeWithTgaToPpm(const std::string &path) {
    const std::string command = "tgatoppm '" + path + "' 2>/dev/null";
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return QImage();
    QByteArray ppm;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) ppm.append(chunk, qsizetype(n));
    pclose(pipe);
    return QImage::fromData(ppm, "PPM");
}

TEST(ImageFilesInQt, EightBitTGADecodesToPaletteColours) {
    Image3D8 image("i", 7, 5, 1, 0);
    MakeIndexed(image);
    const std::string path = TempPath("indexed.tga");
    ASSERT_EQ(image.SaveFileTGA(path.c_str(), 0), Image3D8::Done);
    const QImage decoded = DecodeWithTgaToPpm(path);
    ASSERT_FALSE(decoded.isNull()) << "tgatoppm (Debian netpbm) could not decode " << path;
    ExpectIndexedColours(decoded, image);
}

TEST(ImageFilesInQt, ReaderLoadsBMPWrittenByQt) {
    // The other direction: an 8-bit indexed BMP from Qt's writer loads with the same colours.
    QImage source(6, 4, QImage::Format_Indexed8);
    source.setColorCount(256);
    for (int i = 0; i < 256; ++i) source.setColor(i, qRgb(i, 255 - i, (5 * i) & 255));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) source.setPixel(x, y, uint(40 * y + 7 * x));
    const std::string path = TempPath("fromqt.bmp");
    ASSERT_TRUE(source.save(QString::fromStdString(path), "BMP"));
    Image3D8 image("i", 1, 1, 1, 0);
    ASSERT_EQ(image.LoadFileBMP(path.c_str()), Image3D8::Done);
    ExpectIndexedColours(source, image);
}
