#include "File.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>
#include <winioctl.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

ScopedHandle OpenOther(const std::string& path, DWORD access, DWORD share)
{
    return ScopedHandle(
        CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

Bytes Pattern(std::size_t size)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>(i * 13 + 1);
    return bytes;
}

std::uint64_t SizeOnDisk(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return ~std::uint64_t{0};
    return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

class FileStream : public ::testing::Test {
protected:
    std::string PathOf(const char* name) { return m_folder.Path(name); }

    std::string MakeFile(const char* name, const Bytes& bytes)
    {
        const std::string path = PathOf(name);
        ScopedHandle file(
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        EXPECT_TRUE(file.IsValid());
        EXPECT_TRUE(WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        return path;
    }

    ScratchFolder m_folder{"file"};
};

TEST_F(FileStream, MissingFileLeavesTheStreamClosed)
{
    CFile file;
    EXPECT_FALSE(file.Open(PathOf("missing.dat").c_str()));
    EXPECT_EQ(file.Kind(), StreamKind::None);
    EXPECT_EQ(file.NativeHandle(), nullptr);
    unsigned char buffer[16] = {};
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(file.Write(buffer, sizeof buffer), 0u);
    EXPECT_EQ(file.Tell(), 0u);
    EXPECT_TRUE(file.Close());
}

TEST_F(FileStream, ReopeningReleasesTheEarlierFile)
{
    const std::string first = MakeFile("first.dat", Pattern(10));
    CFile file;
    ASSERT_TRUE(file.Open(first.c_str()));
    EXPECT_FALSE(file.Open(PathOf("missing.dat").c_str()));
    EXPECT_EQ(file.Kind(), StreamKind::None);
    EXPECT_EQ(file.NativeHandle(), nullptr);
    // Only possible when nobody else holds the file.
    EXPECT_TRUE(OpenOther(first, GENERIC_READ | GENERIC_WRITE, 0).IsValid());
}

TEST_F(FileStream, ReadsStopAtTheSizeAtOpening)
{
    const Bytes content = Pattern(100);
    const std::string path = MakeFile("hundred.dat", content);
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str()));
    EXPECT_EQ(file.Kind(), StreamKind::Handle);
    EXPECT_EQ(file.Size(), 100u);

    unsigned char buffer[396] = {};
    EXPECT_EQ(file.Read(buffer, 30), 30u);
    EXPECT_EQ(file.Tell(), 30u);
    EXPECT_EQ(file.Read(buffer + 30, 396), 70u);
    EXPECT_EQ(Bytes(buffer, buffer + 100), content);
    EXPECT_EQ(file.Read(buffer, 396), 0u);
    EXPECT_EQ(file.Tell(), 100u);

    EXPECT_TRUE(file.Close());
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(file.Size(), 100u);
    EXPECT_EQ(file.Tell(), 0u);
}

TEST_F(FileStream, EmptyFile)
{
    const std::string path = MakeFile("empty.dat", {});
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str()));
    EXPECT_EQ(file.Size(), 0u);
    unsigned char buffer[8];
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(file.Tell(), 0u);
}

// Past 4 GiB the size and the read limit need their high 32 bits; the file is
// sparse, so it costs no disk space.
TEST_F(FileStream, FileOverFourGibibytes)
{
    const std::uint64_t size = (std::uint64_t{1} << 32) + 100;
    const Bytes tail = Pattern(100);
    const std::string path = PathOf("large.dat");
    {
        ScopedHandle file(
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file.IsValid());
        DWORD ignored = 0;
        DeviceIoControl(file.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(size - tail.size());
        DWORD written = 0;
        if (!SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN)
            || !WriteFile(file.Get(), tail.data(), static_cast<DWORD>(tail.size()), &written, nullptr)
            || written != tail.size() || !SetEndOfFile(file.Get()))
            GTEST_SKIP() << "cannot create a file of 4 GiB here (error " << GetLastError() << ")";
    }

    CFile file;
    ASSERT_TRUE(file.Open(path.c_str()));
    EXPECT_EQ(file.Size(), size);

    // At the start the limit's low half (100) must not cut the read.
    const std::uint32_t chunk = 16u << 20;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[chunk]);
    ASSERT_EQ(file.Read(buffer.get(), 396), 396u);

    // Walk up to 50 bytes before 4 GiB, then read across it into the tail.
    std::uint64_t left = (std::uint64_t{1} << 32) - 50 - 396;
    while (left > 0) {
        const std::uint32_t step = left < chunk ? static_cast<std::uint32_t>(left) : chunk;
        ASSERT_EQ(file.Read(buffer.get(), step), step);
        left -= step;
    }
    EXPECT_EQ(file.Tell(), (std::uint64_t{1} << 32) - 50);
    ASSERT_EQ(file.Read(buffer.get(), chunk), 150u);
    EXPECT_EQ(Bytes(buffer.get() + 50, buffer.get() + 150), tail);
    EXPECT_EQ(file.Read(buffer.get(), chunk), 0u);
    EXPECT_EQ(file.Tell(), size);
}

TEST_F(FileStream, OpeningForWritingTruncates)
{
    const std::string path = MakeFile("ledger.dat", Pattern(10000));
    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), true));
    EXPECT_EQ(file.Size(), 0u);
    EXPECT_EQ(SizeOnDisk(path), 0u);

    const Bytes header = Pattern(5452);
    const Bytes record = Pattern(268);
    EXPECT_EQ(file.Write(header.data(), 5452), 5452u);
    EXPECT_EQ(file.Write(record.data(), 268), 268u);
    EXPECT_EQ(file.Size(), 5452u + 268u);
    EXPECT_EQ(file.Tell(), 5452u + 268u);

    // A stream opened for writing reads nothing.
    unsigned char buffer[16];
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
    file.Close();
    EXPECT_EQ(SizeOnDisk(path), 5452u + 268u);

    // And one opened for reading writes nothing.
    ASSERT_TRUE(file.Open(path.c_str()));
    EXPECT_EQ(file.Write(buffer, sizeof buffer), 0u);
    EXPECT_EQ(file.Size(), 5452u + 268u);
}

TEST_F(FileStream, CopyFromMovesWhatTheSourceDelivers)
{
    const Bytes content = Pattern(250);
    const std::string source = MakeFile("source.dat", content);
    const std::string target = PathOf("target.dat");
    CFile from;
    CFile to;
    ASSERT_TRUE(from.Open(source.c_str()));
    ASSERT_TRUE(to.Open(target.c_str(), true));
    unsigned char buffer[100];

    EXPECT_EQ(to.CopyFrom(from, buffer, 100), 100u);
    EXPECT_EQ(to.CopyFrom(from, buffer, 100), 100u);
    EXPECT_EQ(to.CopyFrom(from, buffer, 100), 50u);
    EXPECT_EQ(to.CopyFrom(from, buffer, 100), 0u); // the source is at its end
    EXPECT_EQ(to.Size(), 250u);

    from.Close();
    EXPECT_EQ(to.CopyFrom(from, buffer, 100), 0u);
    to.Close();
    EXPECT_EQ(SizeOnDisk(target), 250u);
}

TEST_F(FileStream, SharesReadingWithReadersAndWritingWithWriters)
{
    const std::string path = MakeFile("shared.dat", Pattern(10));
    CFile file;

    ASSERT_TRUE(file.Open(path.c_str()));
    EXPECT_TRUE(OpenOther(path, GENERIC_READ, FILE_SHARE_READ).IsValid());
    EXPECT_FALSE(OpenOther(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE).IsValid());
    CFile secondReader;
    EXPECT_TRUE(secondReader.Open(path.c_str()));
    secondReader.Close();

    ASSERT_TRUE(file.Open(path.c_str(), true));
    EXPECT_TRUE(OpenOther(path, GENERIC_WRITE, FILE_SHARE_WRITE).IsValid());
    EXPECT_FALSE(OpenOther(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE).IsValid());
    EXPECT_FALSE(secondReader.Open(path.c_str()));
}

} // namespace
