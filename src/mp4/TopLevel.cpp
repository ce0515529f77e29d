#include "mp4/TopLevel.h"

#include "mp4/Mp4Log.h"

namespace zuk {

namespace {

uint64_t streamLength(std::istream& in)
{
    in.clear();
    in.seekg(0, std::ios::end);
    const auto end = in.tellg();
    in.seekg(0);
    return end > 0 ? static_cast<uint64_t>(end) : 0;
}

} // namespace

TopLevel scanTopLevel(std::istream& in, const std::function<void(const MP4Box::MP4Box&)>& visit)
{
    TopLevel top;
    const uint64_t fileEnd = streamLength(in);
    // No limit on the number of boxes: each is at least a header long, so
    // the scan ends at the file's end, and only the movie is kept.
    while (!in.eof()) {
        MP4Box::MP4Box box;
        if (box.readBox(in, fileEnd) != 0) {
            mp4Log("Error parsing box\n");
            break;
        }
        if (!box.is("moov") || top.movie) {
            if (visit)
                visit(box);
            continue;
        }
        in.seekg(static_cast<std::streamoff>(box.startPosition));
        if (!in) {
            top.result = ZUK_E_SHORT_COPY;
            top.movie.reset();
            return top;
        }
        top.movie = std::make_unique<MP4Box::moovBox>();
        top.movie->readBox(in, fileEnd);
        in.clear();
        in.seekg(static_cast<std::streamoff>(box.endPosition()));
        if (visit)
            visit(*top.movie);
    }
    return top;
}

} // namespace zuk
