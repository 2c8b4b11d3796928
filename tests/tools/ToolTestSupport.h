#pragma once

#include "Output.h"
#include "Records.h"
#include "Tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// A folder of its own for one test, removed with everything in it.
class TempFolder {
public:
    TempFolder()
    {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("updpack-") + test->test_suite_name() + "-" + test->name();
        for (char& c : name)
            if (c == '/')
                c = '_';
        m_path = fs::temp_directory_path() / name;
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const fs::path& Path() const { return m_path; }

    // relative is UTF-8 with forward slashes; missing folders are made.
    fs::path Write(const std::string& relative, const std::string& bytes) const
    {
        const fs::path file = m_path / fs::u8path(relative);
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file;
    }

    fs::path Folder(const std::string& relative) const
    {
        const fs::path folder = m_path / fs::u8path(relative);
        fs::create_directories(folder);
        return folder;
    }

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(m_path))
            names.push_back(entry.path().filename().u8string());
        return names;
    }

private:
    fs::path m_path;
};

class CapturedOutput : public Output {
public:
    void Out(std::string_view utf8) override { out += utf8; }
    void Err(std::string_view utf8) override { err += utf8; }
    std::string out;
    std::string err;
};

struct RunResult {
    int code;
    std::string out;
    std::string err;
};

inline RunResult RunUpdpack(const std::vector<std::string>& args)
{
    CapturedOutput output;
    const int code = RunTool(args, output);
    return {code, output.out, output.err};
}

inline std::string ReadBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline FileEntry Record(const std::string& path, std::uint32_t size, std::uint32_t extra = 0)
{
    FileEntry record;
    std::memset(&record, 0, sizeof record);
    std::memcpy(record.Path, path.data(), std::min(path.size(), sizeof record.Path));
    record.Size = size;
    record.Extra = extra;
    return record;
}

template <typename Header>
std::string FileBytes(const Header& header, const std::vector<FileEntry>& records)
{
    std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
    bytes.append(reinterpret_cast<const char*>(records.data()), records.size() * sizeof(FileEntry));
    return bytes;
}
