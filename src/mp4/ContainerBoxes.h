// The plain container boxes: each holds nothing but the boxes inside it.
#pragma once

#include "mp4/MP4Box.h"

namespace MP4Box {

class ContainerBox : public MP4Box {
public:
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;
    const Children* childList() const override { return &children; }

    Children children; // in file order

    // What a class prints before and after its header, and in its dump.
    struct Texts {
        const char* beforeHeader;
        const char* afterHeader;
        const char* dumpHeading;
        const char* childLabel;
    };

protected:
    explicit ContainerBox(const Texts& classTexts) : texts(classTexts) { }

private:
    const Texts& texts;
};

class moovBox : public ContainerBox {
public:
    moovBox();
};

class trakBox : public ContainerBox {
public:
    trakBox();
};

class edtsBox : public ContainerBox {
public:
    edtsBox();
};

class mdiaBox : public ContainerBox {
public:
    mdiaBox();
};

class minfBox : public ContainerBox {
public:
    minfBox();
};

class dinfBox : public ContainerBox {
public:
    dinfBox();
};

class stblBox : public ContainerBox {
public:
    stblBox();
};

} // namespace MP4Box
