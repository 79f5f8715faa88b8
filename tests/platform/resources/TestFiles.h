// Helpers of the resource tests: a private temporary folder and file bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

using TBytes = std::vector<std::uint8_t>;

inline TBytes ReadBytes(const std::string& FileName) {
    std::ifstream In(FileName, std::ios::binary);
    return TBytes(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

inline void PutWord(TBytes& B, std::size_t Offset, std::uint16_t Value) {
    B.at(Offset) = static_cast<std::uint8_t>(Value);
    B.at(Offset + 1) = static_cast<std::uint8_t>(Value >> 8);
}

inline void PutDword(TBytes& B, std::size_t Offset, std::uint32_t Value) {
    for (int I = 0; I < 4; ++I) B.at(Offset + I) = static_cast<std::uint8_t>(Value >> (8 * I));
}

inline std::uint32_t GetDword(const TBytes& B, std::size_t Offset) {
    return B.at(Offset) | (B.at(Offset + 1) << 8) | (B.at(Offset + 2) << 16) | (static_cast<std::uint32_t>(B.at(Offset + 3)) << 24);
}

// A folder of its own under the system's temporary folder, removed with the
// fixture.
class TTempFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device Random;
        FFolder = std::filesystem::temp_directory_path() / ("typecask-res-" + std::to_string(Random()));
        std::filesystem::create_directories(FFolder);
    }
    void TearDown() override { std::filesystem::remove_all(FFolder); }

    std::string Write(const std::string& Name, const TBytes& Bytes) {
        const auto Path = FFolder / Name;
        std::ofstream Out(Path, std::ios::binary);
        Out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
        return Path.string();
    }

    std::filesystem::path FFolder;
};

// One resource entry of a .res image, as windres writes it (ordinal type and
// name, U.S. English).
inline void AppendResource(TBytes& Res, std::uint16_t Type, std::uint16_t Name, const TBytes& Data) {
    const std::size_t Start = Res.size();
    Res.resize(Start + 32, 0);
    PutDword(Res, Start, static_cast<std::uint32_t>(Data.size()));
    PutDword(Res, Start + 4, 32);
    PutWord(Res, Start + 8, 0xFFFF);
    PutWord(Res, Start + 10, Type);
    PutWord(Res, Start + 12, 0xFFFF);
    PutWord(Res, Start + 14, Name);
    PutWord(Res, Start + 22, 0x0409);
    Res.insert(Res.end(), Data.begin(), Data.end());
    while (Res.size() % 4) Res.push_back(0);
}

// An empty .res image: its leading empty entry only.
inline TBytes EmptyRes() {
    TBytes Res(32, 0);
    PutDword(Res, 4, 32);
    PutWord(Res, 8, 0xFFFF);
    PutWord(Res, 12, 0xFFFF);
    return Res;
}

// A resource entry with a text name (ordinal type).
inline void AppendNamedResource(TBytes& Res, std::uint16_t Type, const std::string& Name, const TBytes& Data) {
    const std::size_t Start = Res.size();
    const std::size_t NameBytes = (Name.size() + 1) * 2;
    std::size_t HeaderSize = 8 + 4 + NameBytes;
    HeaderSize = (HeaderSize + 3) & ~std::size_t{3};
    HeaderSize += 16;
    Res.resize(Start + HeaderSize, 0);
    PutDword(Res, Start, static_cast<std::uint32_t>(Data.size()));
    PutDword(Res, Start + 4, static_cast<std::uint32_t>(HeaderSize));
    PutWord(Res, Start + 8, 0xFFFF);
    PutWord(Res, Start + 10, Type);
    for (std::size_t I = 0; I < Name.size(); ++I) PutWord(Res, Start + 12 + 2 * I, static_cast<unsigned char>(Name[I]));
    PutWord(Res, Start + HeaderSize - 10, 0x0409);
    Res.insert(Res.end(), Data.begin(), Data.end());
    while (Res.size() % 4) Res.push_back(0);
}
