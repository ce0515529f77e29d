// A private folder for one fuzz target: the input file, rewritten on every
// run, and the outputs the target names, removed after each run.
#pragma once

#include "platform/WideText.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

[[noreturn]] inline void fuzzFail(const char* what)
{
    std::perror(what);
    std::abort();
}

class FuzzScratch {
public:
    // `outputs`: the file names the target writes into the folder.
    explicit FuzzScratch(std::initializer_list<const char*> outputs)
    {
        const char* base = std::getenv("TMPDIR");
        if (base == nullptr || *base == '\0')
            base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/zuk-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr)
            fuzzFail("zuk fuzz: cannot create a temporary folder");
        dir = pattern;
        for (const char* output : outputs)
            outputNames.emplace_back(output);
        fd = open(inputPath().c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            fuzzFail("zuk fuzz: cannot create the input file");
    }
    ~FuzzScratch()
    {
        close(fd);
        removeOutputs();
        unlink(inputPath().c_str());
        rmdir(dir.c_str());
    }
    FuzzScratch(const FuzzScratch&) = delete;
    FuzzScratch& operator=(const FuzzScratch&) = delete;

    void write(const uint8_t* data, size_t size)
    {
        if (ftruncate(fd, 0) != 0)
            fuzzFail("zuk fuzz: cannot truncate the input file");
        for (size_t done = 0; done < size;) {
            const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0)
                fuzzFail("zuk fuzz: cannot write the input file");
            done += static_cast<size_t>(n);
        }
    }
    void removeOutputs() const
    {
        for (const std::string& name : outputNames)
            unlink(path(name).c_str());
    }

    std::string inputPath() const { return path("input"); }
    std::string path(const std::string& name) const { return dir + "/" + name; }

private:
    std::string dir;
    std::vector<std::string> outputNames;
    int fd = -1;
};

inline std::u16string fuzzWide(const std::string& path)
{
    const auto text = zuk::utf8ToUtf16(path);
    if (!text)
        std::abort(); // mkdtemp names are ASCII
    return *text;
}
