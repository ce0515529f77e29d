#include "support/TestFiles.h"

#include "platform/WideText.h"

namespace zuktest {

std::u16string wide(const std::string& path)
{
    auto text = zuk::utf8ToUtf16(path);
    if (!text)
        throw std::runtime_error("not UTF-8: " + path);
    return *text;
}

} // namespace zuktest
