// The names a batch gives its outputs: each input's file name, made unique
// among the batch's inputs.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace zuk {

// outdir/<name>.wav for each input: its file name without the extension;
// colliding names keep their path from the deepest folder they share, and
// those that still collide keep their extension too.
std::vector<std::string> batchOutputNames(const std::vector<std::string>& inputs, const std::string& outdir);

// The `count` texts at `texts`; nothing when the array or one of them is null.
std::optional<std::vector<std::string>> namesOf(const char* const* texts, size_t count);

} // namespace zuk
