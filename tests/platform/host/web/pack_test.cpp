// The page's pack of pictures (platform/host/web/pack.h), natively: LZMA data as Debian's xz writes
// it decodes to the very bytes it was made from, whatever its settings, and what is cut short,
// corrupt, too large or not a pack is refused with a reason.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/host/web/pack.h"

namespace {

using host::web::DecodeLzma;
using host::web::PackedFile;
using host::web::ReadPack;
using host::web::UnpackFiles;

class WebPack : public testing::Test {
protected:
    void SetUp() override
    {
        char szDir[] = "/tmp/vadurer-pack-XXXXXX";
        ASSERT_NE(mkdtemp(szDir), nullptr);
        m_dir = szDir;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::vector<uint8_t> ReadFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
    {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    // The bytes as xz compresses them into the .lzma format with these options.
    std::vector<uint8_t> Xz(const std::vector<uint8_t>& bytes, const std::string& options)
    {
        WriteFile(m_dir + "/in", bytes);
        std::string command = "xz --format=lzma " + options + " -c '" + m_dir + "/in' > '" + m_dir + "/in.lzma'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return ReadFile(m_dir + "/in.lzma");
    }

    std::string m_dir;
};

// Bytes with the structure a compressor finds: runs, text, noise, and stretches copied from
// earlier on at near and far distances, some changed a little (so that every kind of match and
// repeat, and literals right after a match, are coded).
std::vector<uint8_t> Structured(size_t nSize, unsigned nSeed)
{
    std::mt19937 rng(nSeed);
    std::vector<uint8_t> v;
    const std::string text = "Stop The Vadurer: a cube drops in and swings over the rising sun. ";
    while (v.size() < nSize) {
        switch (rng() % 5) {
        case 0: v.insert(v.end(), 1 + rng() % 300, uint8_t(rng())); break;
        case 1: v.insert(v.end(), text.begin(), text.begin() + ptrdiff_t(rng() % text.size())); break;
        case 2:
            for (int i = int(rng() % 200); i > 0; --i)
                v.push_back(uint8_t(rng()));
            break;
        default:
            if (v.size() > 16) {
                size_t nDist = 1 + rng() % std::min<size_t>(v.size() - 1, rng() % 2 ? 64 : 1 << 20);
                size_t nLen = 2 + rng() % 400;
                for (size_t i = 0; i < nLen; ++i)
                    v.push_back(i % 97 == 50 ? uint8_t(rng()) : v[v.size() - nDist]);
            }
        }
    }
    v.resize(nSize);
    return v;
}

TEST_F(WebPack, DecodesWhatXzWritesToTheSameBytes)
{
    const std::vector<std::pair<size_t, std::string>> cases = {
        {200000, "-6"},
        {300000, "--lzma1=preset=9e,lc=4,lp=0,pb=0"},  // as the page's pictures are packed
        {100000, "--lzma1=preset=1,lc=0,lp=2,pb=2"},
        {100000, "--lzma1=preset=6,lc=1,lp=3,pb=4"},
        {1, "-6"},
        {70000, "--lzma1=preset=0,mode=fast"},
    };
    unsigned nSeed = 1;
    for (const auto& [nSize, options] : cases) {
        std::vector<uint8_t> original = Structured(nSize, nSeed++);
        std::vector<uint8_t> packed = Xz(original, options), out;
        std::string error;
        ASSERT_TRUE(DecodeLzma(packed.data(), packed.size(), out, error)) << options << ": " << error;
        EXPECT_TRUE(out == original) << options << ": " << out.size() << " bytes out of " << original.size();
    }
    // Nothing at all, and noise that does not compress.
    std::vector<uint8_t> empty, out;
    std::vector<uint8_t> packed = Xz(empty, "-6");
    std::string error;
    ASSERT_TRUE(DecodeLzma(packed.data(), packed.size(), out, error)) << error;
    EXPECT_TRUE(out.empty());
    std::mt19937 rng(7);
    std::vector<uint8_t> noise(50000);
    for (auto& b : noise)
        b = uint8_t(rng());
    packed = Xz(noise, "-6");
    ASSERT_TRUE(DecodeLzma(packed.data(), packed.size(), out, error)) << error;
    EXPECT_TRUE(out == noise);
}

TEST_F(WebPack, RefusesWhatIsCutShortCorruptOrTooLarge)
{
    std::vector<uint8_t> original = Structured(100000, 42), out;
    std::vector<uint8_t> packed = Xz(original, "-6");
    std::string error;

    std::vector<uint8_t> cut(packed.begin(), packed.begin() + ptrdiff_t(packed.size() / 2));
    EXPECT_FALSE(DecodeLzma(cut.data(), cut.size(), out, error));
    EXPECT_NE(error.find("ends too soon"), std::string::npos) << error;

    std::vector<uint8_t> wrongProps = packed;
    wrongProps[0] = 225;
    EXPECT_FALSE(DecodeLzma(wrongProps.data(), wrongProps.size(), out, error));
    EXPECT_NE(error.find("properties"), std::string::npos) << error;

    EXPECT_FALSE(DecodeLzma(packed.data(), 10, out, error)) << "a header alone";

    EXPECT_FALSE(DecodeLzma(packed.data(), packed.size(), out, error, 50000)) << "over the limit";
    EXPECT_NE(error.find("larger than allowed"), std::string::npos) << error;

    // Damage anywhere in the coded data is found, never read past its end or before the output's
    // start, and never taken for the original.
    int nRefused = 0;
    for (size_t at = 20; at < packed.size(); at += packed.size() / 40) {
        std::vector<uint8_t> damaged = packed;
        damaged[at] ^= 0x5A;
        if (!DecodeLzma(damaged.data(), damaged.size(), out, error))
            ++nRefused;
        else
            EXPECT_FALSE(out == original) << "damage at " << at << " went unnoticed and yet decoded the original";
    }
    EXPECT_GE(nRefused, 35) << "of 40 damaged copies";
}

TEST_F(WebPack, ReadsAPackAndRefusesNamesOutsideItsFolder)
{
    auto pack = [](const std::vector<std::pair<std::string, std::string>>& files) {
        std::vector<uint8_t> v = {'V', 'P', 'K', '1', uint8_t(files.size()), 0, 0, 0};
        for (const auto& [name, bytes] : files) {
            v.push_back(uint8_t(name.size()));
            v.push_back(0);
            v.insert(v.end(), name.begin(), name.end());
            for (int i = 0; i < 4; ++i)
                v.push_back(uint8_t(bytes.size() >> (8 * i)));
        }
        for (const auto& file : files)
            v.insert(v.end(), file.second.begin(), file.second.end());
        return v;
    };
    std::vector<PackedFile> files;
    std::string error;
    ASSERT_TRUE(ReadPack(pack({{"SS.bmp", "mask"}, {"empty.bmp", ""}, {"3Z-ER-AVE.bmp", "sun"}}), files, error))
        << error;
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].name, "SS.bmp");
    EXPECT_EQ(std::string(files[0].bytes.begin(), files[0].bytes.end()), "mask");
    EXPECT_TRUE(files[1].bytes.empty());
    EXPECT_EQ(std::string(files[2].bytes.begin(), files[2].bytes.end()), "sun");

    for (const std::string bad : {"../x.bmp", "a/b.bmp", "..", ".", "", "a\\b"}) {
        EXPECT_FALSE(ReadPack(pack({{bad, "x"}}), files, error)) << bad;
        EXPECT_NE(error.find("may not write"), std::string::npos) << error;
    }
    std::vector<uint8_t> whole = pack({{"a.bmp", "12345"}});
    std::vector<uint8_t> cut(whole.begin(), whole.end() - 2);
    EXPECT_FALSE(ReadPack(cut, files, error));
    EXPECT_NE(error.find("ends too soon"), std::string::npos) << error;
    std::vector<uint8_t> longer = whole;
    longer.push_back(0);
    EXPECT_FALSE(ReadPack(longer, files, error));
    std::vector<uint8_t> other = whole;
    other[3] = '2';
    EXPECT_FALSE(ReadPack(other, files, error));
    EXPECT_NE(error.find("not a pack"), std::string::npos) << error;
}

TEST_F(WebPack, UnpacksAnArchiveIntoItsFolder)
{
    std::vector<uint8_t> a = Structured(30000, 3), b = Structured(5000, 4);
    std::vector<uint8_t> v = {'V', 'P', 'K', '1', 2, 0, 0, 0};
    for (const auto& [name, bytes] :
         {std::pair<std::string, const std::vector<uint8_t>*>{"a.bmp", &a}, {"b.wav", &b}}) {
        v.push_back(uint8_t(name.size()));
        v.push_back(0);
        v.insert(v.end(), name.begin(), name.end());
        for (int i = 0; i < 4; ++i)
            v.push_back(uint8_t(bytes->size() >> (8 * i)));
    }
    v.insert(v.end(), a.begin(), a.end());
    v.insert(v.end(), b.begin(), b.end());
    WriteFile(m_dir + "/pack.lzma", Xz(v, "-6"));
    ASSERT_EQ(UnpackFiles(m_dir + "/pack.lzma", m_dir), "");
    EXPECT_TRUE(ReadFile(m_dir + "/a.bmp") == a);
    EXPECT_TRUE(ReadFile(m_dir + "/b.wav") == b);

    EXPECT_NE(UnpackFiles(m_dir + "/missing.lzma", m_dir).find("cannot open"), std::string::npos);
    WriteFile(m_dir + "/bad.lzma", std::vector<uint8_t>(100, 7));
    EXPECT_NE(UnpackFiles(m_dir + "/bad.lzma", m_dir), "");
}

}  // namespace
#endif
