// zuk_batch_output_name: where a batch writes each input's sound.
#include "api/BatchNames.h"

#include "platform/ExportGuard.h"

#include <zuk/batch.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

namespace zuk {

namespace {

namespace fs = std::filesystem;

// Collisions are judged on whole paths, so relative inputs are made absolute
// (a folder shared by "../a/x.mov" and "b/x.mov" is found that way).
fs::path absoluteOf(const std::string& input)
{
    std::error_code error;
    const fs::path absolute = fs::absolute(input, error);
    return (error ? fs::path(input) : absolute).lexically_normal();
}

fs::path deepestSharedFolder(const std::vector<fs::path>& paths, const std::vector<size_t>& members)
{
    fs::path shared = paths[members.front()].parent_path();
    for (const size_t member : members) {
        const fs::path folder = paths[member].parent_path();
        fs::path common;
        for (auto a = shared.begin(), b = folder.begin(); a != shared.end() && b != folder.end() && *a == *b; ++a, ++b)
            common /= *a;
        shared = common;
    }
    return shared;
}

// Indices of the names that more than one input would get, by name.
std::vector<std::vector<size_t>> collisions(const std::vector<fs::path>& names)
{
    std::map<fs::path, std::vector<size_t>> byName;
    for (size_t i = 0; i < names.size(); ++i)
        byName[names[i]].push_back(i);
    std::vector<std::vector<size_t>> groups;
    for (auto& [name, members] : byName)
        if (members.size() > 1)
            groups.push_back(std::move(members));
    return groups;
}

// The name of input `index`. Callers name a list one input at a time (the
// command line, the Python package), so the names of the last list asked
// about are kept rather than worked out again for each of its inputs. Names
// depend on the working folder too (relative inputs are made absolute).
std::string outputNameOf(std::vector<std::string> inputs, std::string outdir, size_t index)
{
    struct Named {
        std::vector<std::string> inputs;
        std::string outdir;
        fs::path workingFolder;
        std::vector<std::string> outputs;
    };
    static std::mutex lock;
    static Named last;
    std::error_code error;
    fs::path workingFolder = fs::current_path(error);
    const std::lock_guard guard(lock);
    if (inputs != last.inputs || outdir != last.outdir || workingFolder != last.workingFolder || error) {
        last.outputs = batchOutputNames(inputs, outdir);
        last.inputs = std::move(inputs);
        last.outdir = std::move(outdir);
        last.workingFolder = std::move(workingFolder);
    }
    return last.outputs[index];
}

} // namespace

std::vector<std::string> batchOutputNames(const std::vector<std::string>& inputs, const std::string& outdir)
{
    std::vector<fs::path> paths;
    std::vector<fs::path> names;
    for (const std::string& input : inputs) {
        paths.push_back(absoluteOf(input));
        names.push_back(paths.back().stem());
    }
    for (const auto& group : collisions(names)) {
        const fs::path shared = deepestSharedFolder(paths, group);
        for (const size_t member : group)
            names[member] =
                (paths[member].parent_path().lexically_relative(shared) / paths[member].stem()).lexically_normal();
    }
    for (const auto& group : collisions(names))
        for (const size_t member : group)
            names[member].replace_filename(paths[member].filename());
    std::vector<std::string> outputs;
    for (const fs::path& name : names)
        outputs.push_back((fs::path(outdir) / name).concat(".wav").string());
    return outputs;
}

// Every input named, as the batch reads them: all must be there.
std::optional<std::vector<std::string>> namesOf(const char* const* inputs, size_t count)
{
    if (inputs == nullptr && count > 0)
        return std::nullopt;
    std::vector<std::string> names;
    for (size_t i = 0; i < count; ++i) {
        if (inputs[i] == nullptr)
            return std::nullopt;
        names.emplace_back(inputs[i]);
    }
    return names;
}

} // namespace zuk

extern "C" ZUK_API int64_t zuk_batch_output_name(
    const char* const* inputs, size_t count, const char* outdir, size_t index, char* buffer, size_t capacity)
{
    return zuk::guardExport("zuk_batch_output_name", int64_t{ZUK_E_OPEN}, [&]() -> int64_t {
        auto names = zuk::namesOf(inputs, count);
        if (!names || outdir == nullptr || index >= count || (buffer == nullptr && capacity > 0))
            return ZUK_E_OPEN;
        const std::string output = zuk::outputNameOf(std::move(*names), outdir, index);
        if (output.size() < capacity)
            std::memcpy(buffer, output.c_str(), output.size() + 1);
        return static_cast<int64_t>(output.size());
    });
}
