// The committed seeds of the project file fuzz target are made here, byte by byte. Run the test
// with TW_WRITE_SEEDS=1 to write them afresh into fuzz/seeds/project_file/.

#include "document/ProjectDoc.h"
#include "files/ByteBuilder.h"
#include "files/ProjectFile.h"
#include "model/Errors.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Every known window kind, an unknown one, and texts in the 16-bit, 32-bit and wide forms.
// clang-format off
Bytes AllWindowsProject()
{
    CBytes wideTitle;
    wideTitle.U8(0xFF).I16(0xFFFE).U8(3).I16('A').I16(0x00E9).I16(0x20AC);
    return HandHeader()
        .Add(wideTitle)
        .Str(std::string(300, 'c'))
        .U8(0xFF).I16(0xFFFF).I32(2).U8('a').U8('b')
        .Str("")
        .I32(4).I32(4).I32(24).I32(24)
        .I32(1).Str("Bank").I32(2)
        .Add(HandMidiData({{0, 10, 1, 2, 3}}, {{0, 0xE0, 0, 64}, {5, 0xD0, 9, 0}}, 96, "A", 1, 4))
        .Add(HandPhraseProperties())
        .Add(HandMidiData({}, {}, 0, "", 0, 5))
        .Add(HandPhraseProperties())
        .I32(2)
        .Str("One").I32(0).I32(1).I32(0).Add(HandTrackTail())
        .Str("Two").I32(0).I32(2).I32(1)
        .Add(HandMidiData({{0, 1, 127, 127, 127}}, {}, 1, "c", 0, 6)).I32(-10)
        .Add(HandTrackTail())
        .Add(HandTail(6, 8, 11, 0, 1))
        .I32(2).Add(HandNoPlacement()).Zeros(30)
        .I32(9)
        .I32(3).I32(6).Add(HandNoPlacement()).Zeros(54)
        .I32(4).I32(0).Add(HandNoPlacement()).Zeros(12)
        .I32(5).Add(HandNoPlacement())
        .I32(1).Add(HandNoPlacement())
        .I32(0)
        .Get();
}
// clang-format on

Bytes Cut(const Bytes& bytes, size_t size)
{
    return Bytes(bytes.begin(), bytes.begin() + static_cast<long>(size));
}

// Seeds by file name: "valid-" ones load, "cut-" ones end too early.
std::map<std::string, Bytes> Seeds()
{
    const Bytes empty = HandHeader().Add(HandInfo()).I32(0).I32(0).Add(HandTail()).I32(0).Get();
    const Bytes small = HandSmallProject();
    const Bytes all = AllWindowsProject();
    return {
        {"valid-empty.tnw", empty},
        {"valid-small.tnw", small},
        {"valid-all-windows.tnw", all},
        {"cut-header.tnw", Cut(empty, 20)},
        {"cut-in-notes.tnw", Cut(small, 80)},
        {"cut-in-track.tnw", Cut(small, small.size() / 2 + 40)},
        {"cut-before-end.tnw", Cut(all, all.size() - 1)},
    };
}

Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TEST(ProjectFileSeeds, CommittedSeedsAreCurrentAndLoadOrFailAsNamed)
{
    const std::string folder = std::string(TW_SOURCE_DIR) + "/fuzz/seeds/project_file/";
    const bool write = std::getenv("TW_WRITE_SEEDS") != nullptr;
    for (const auto& [name, bytes] : Seeds()) {
        if (write) {
            std::ofstream(folder + name, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
        }
        EXPECT_EQ(ReadFile(folder + name), bytes) << name << " is not the committed seed";
        CProjectDoc doc;
        std::string failure;
        try {
            ReadProjectFileBytes(doc, bytes.data(), bytes.size(), name);
        } catch (const CFileError& e) {
            failure = e.what();
        }
        if (name.starts_with("valid-")) {
            EXPECT_EQ(failure, "") << name;
        } else {
            EXPECT_EQ(failure, "An attempt was made to access " + name + " past its end.");
        }
    }
}

TEST(ProjectFileSeeds, AllWindowsSeedReadsEveryStringForm)
{
    const Bytes bytes = AllWindowsProject();
    CProjectDoc doc;
    ReadProjectFileBytes(doc, bytes.data(), bytes.size(), "all.tnw");
    EXPECT_EQ(doc.GetInfo().m_title, "A\xE9?");
    EXPECT_EQ(doc.GetInfo().m_copyright, std::string(300, 'c'));
    EXPECT_EQ(doc.GetInfo().m_author, "ab");
    EXPECT_EQ(doc.GetTracks().GetAt(1)->GetClipAt(0).GetStart(), -10);
    EXPECT_EQ(doc.GetWindows().SavedWindows().size(), 5u); // kind 9 skipped
}
