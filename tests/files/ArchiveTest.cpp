#include "files/Archive.h"
#include "model/Errors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Written(const std::string& text)
{
    CArchiveWriter writer;
    writer.WriteString(text);
    return writer.TakeBytes();
}

Bytes Prefix(const Bytes& bytes, size_t n)
{
    return Bytes(bytes.begin(), bytes.begin() + static_cast<long>(std::min(n, bytes.size())));
}

std::string ReadBack(const Bytes& bytes)
{
    CArchiveReader reader(bytes.data(), bytes.size(), "t.tnw");
    std::string text = reader.ReadString();
    EXPECT_EQ(reader.GetRemaining(), 0u);
    return text;
}

template <class F> std::string FailureText(F read)
{
    try {
        read();
    } catch (const CFileError& e) {
        return e.what();
    }
    return "no failure";
}

std::string FailureOf(const Bytes& bytes)
{
    CArchiveReader reader(bytes.data(), bytes.size(), "t.tnw");
    return FailureText([&] { reader.ReadString(); });
}

class CCountingSink : public CByteSink {
public:
    void Write(const uint8_t* data, size_t size) override
    {
        bytes.insert(bytes.end(), data, data + size);
        ++calls;
    }
    Bytes bytes;
    int calls = 0;
};

} // namespace

TEST(Archive, StringLengthPrefixUsesShortestForm)
{
    const std::string s254(254, 'a'), s255(255, 'b'), s65533(0xFFFD, 'c'), s65534(0xFFFE, 'd');
    EXPECT_EQ(Prefix(Written(""), 8), (Bytes{0x00}));
    EXPECT_EQ(Prefix(Written(s254), 2), (Bytes{0xFE, 'a'}));
    EXPECT_EQ(Prefix(Written(s255), 4), (Bytes{0xFF, 0xFF, 0x00, 'b'}));
    EXPECT_EQ(Prefix(Written(s65533), 4), (Bytes{0xFF, 0xFD, 0xFF, 'c'}));
    EXPECT_EQ(Prefix(Written(s65534), 8), (Bytes{0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00, 'd'}));
    EXPECT_EQ(Written(s254).size(), 255u);
    EXPECT_EQ(Written(s255).size(), 258u);
    for (const std::string& s : {s254, s255, s65533, s65534, std::string("\xE9t\xE9")})
        EXPECT_EQ(ReadBack(Written(s)), s);
}

TEST(Archive, WideStringsBecomeLatin1WithQuestionMarks)
{
    // "Aé€" then U+1F3B5 as a surrogate pair: 5 UTF-16 units.
    EXPECT_EQ(
        ReadBack({0xFF, 0xFE, 0xFF, 0x05, 'A', 0, 0xE9, 0, 0xAC, 0x20, 0x3C, 0xD8, 0xB5, 0xDF}),
        "A\xE9??");
    // A lone surrogate is one unknown character; a 16-bit character count works too.
    EXPECT_EQ(ReadBack({0xFF, 0xFE, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0xDC, 'z', 0}), "?z");
    EXPECT_EQ(ReadBack({0xFF, 0xFE, 0xFF, 0x00}), "");
}

TEST(Archive, ShortInputFailsPastItsEndWithoutAllocating)
{
    const std::string pastEnd = "An attempt was made to access t.tnw past its end.";
    EXPECT_EQ(FailureOf({}), pastEnd);
    EXPECT_EQ(FailureOf({0x03, 'a', 'b'}), pastEnd);
    EXPECT_EQ(FailureOf({0xFF, 0x00}), pastEnd);
    // Lengths near 4 GiB, narrow and wide, must not be trusted.
    EXPECT_EQ(FailureOf({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'x'}), pastEnd);
    EXPECT_EQ(FailureOf({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
              pastEnd);

    const Bytes counts{0xFF, 0xFF, 0xFF, 0xFF, 0x03, 0x00, 0x00, 0x00, 1,
                       2,    3,    4,    5,    6,    7,    8,    9,    10};
    CArchiveReader negative(counts.data(), counts.size(), "t.tnw");
    EXPECT_EQ(FailureText([&] { negative.ReadCount(1); }), "t.tnw contains an incorrect schema.");
    CArchiveReader tooMany(counts.data() + 4, counts.size() - 4, "t.tnw");
    EXPECT_EQ(FailureText([&] { tooMany.ReadCount(4); }), pastEnd);
    CArchiveReader fits(counts.data() + 4, counts.size() - 4, "t.tnw");
    EXPECT_EQ(fits.ReadCount(3), 3);
}

TEST(Archive, SinkReceivesWholeBuffersAndTheSameBytesAsMemory)
{
    CCountingSink sink;
    CArchiveWriter toSink(sink);
    CArchiveWriter toMemory;
    for (int i = 0; i < 40000; ++i) {
        for (CArchiveWriter* w : {&toSink, &toMemory}) {
            w->WriteInt32(i - 20000);
            w->WriteInt16(static_cast<int16_t>(-i));
            w->WriteUInt8(static_cast<uint8_t>(i));
        }
    }
    toSink.Flush();
    const Bytes memory = toMemory.TakeBytes();
    EXPECT_EQ(memory.size(), 40000u * 7);
    EXPECT_EQ(sink.bytes, memory);
    EXPECT_EQ(sink.calls, 5); // 280000 bytes in 64 KiB buffers

    CArchiveReader reader(memory.data(), memory.size(), "t.tnw");
    EXPECT_EQ(reader.ReadInt32(), -20000);
    EXPECT_EQ(reader.ReadInt16(), 0);
    EXPECT_EQ(reader.ReadUInt8(), 0);
    EXPECT_EQ(reader.ReadInt32(), -19999);
    EXPECT_EQ(reader.ReadInt16(), -1);
}
