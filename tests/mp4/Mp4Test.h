// What the MP4 tests share: a private folder, the unwrapper's log captured,
// the box parser's commentary kept out of the test output.
#pragma once

#include "mp4/Diagnostics.h"
#include "mp4/Mp4Log.h"
#include "mp4/UnwrapMP4.h"
#include "support/LogCapture.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace zuktest::mp4 {

struct Mp4Test : ::testing::Test {
    TempDir dir;
    CapturingSink log;
    std::string wav = dir.file("out.wav");

    Mp4Test()
    {
        zuk::setMP4LogFunction(LogString);
        MP4Box::setDiagnostics(nullptr);
    }
    ~Mp4Test() override
    {
        MP4Box::setDiagnostics(&std::cout);
        zuk::setMP4LogFunction(nullptr);
    }

    std::string file(const std::string& bytes, const std::string& name = "in.mov")
    {
        const std::string path = dir.file(name);
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    int32_t unwrapFile(const std::string& path, const std::string& output)
    {
        std::ifstream stream(path, std::ios::binary);
        return zuk::unwrapMP4(wide(output).c_str(), stream);
    }

    int32_t unwrap(const std::string& bytes) { return unwrapFile(file(bytes), wav); }

    bool logged(const std::string& line) const
    {
        const auto& pieces = log.pieces();
        return std::find(pieces.begin(), pieces.end(), line) != pieces.end();
    }
};

} // namespace zuktest::mp4
