// The sound track of a movie and the boxes the writer needs from it.
#pragma once

#include "mp4/ContainerBoxes.h"
#include "mp4/stcoBox.h"
#include "mp4/stscBox.h"
#include "mp4/stsdBox.h"
#include "mp4/stszBox.h"
#include "mp4/sttsBox.h"

namespace zuk {

// Borrowed from the movie tree; each table is null when the track lacks it.
struct AudioTrackBoxes {
    const MP4Box::trakBox* trak = nullptr;
    const MP4Box::minfBox* minf = nullptr;
    const MP4Box::stblBox* stbl = nullptr;
    const MP4Box::sttsBox* stts = nullptr;
    const MP4Box::stscBox* stsc = nullptr;
    const MP4Box::stcoBox* stco = nullptr;
    const MP4Box::stszBox* stsz = nullptr;
    const MP4Box::stsdBox* stsd = nullptr;
};

// The first track of `movie` with mdia, minf and a sound media header (smhd),
// or null. Fills `boxes` from it when its minf holds a sample table.
const MP4Box::trakBox* findAudioTrack(const MP4Box::Children& movie, AudioTrackBoxes& boxes);

} // namespace zuk
