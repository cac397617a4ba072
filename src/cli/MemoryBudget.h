// MemoryBudget: what a command-line run will allocate, estimated before the fields are sized,
// and what the machine has free; refuses a run that would not fit before it starts.
#pragma once

#include <cstdint>
#include <string>

class MemoryBudget {
public:
    // The maps and picture sizes of a run.
    struct Outputs {
        int PictureDepth = 1;  // bytes a picture point: 1 (256 colours) or 3 (true colour)
        int Upscale = 1;       // pictures this many times the field's size
        bool Height = false;   // a 16-bit height map beside every image
        bool Normal = false;   // an RGB normal map beside every image
    };

    // Bytes a run of components fields of x by y points needs: the fields with their border
    // rows, every picture it writes twice (the picture and the file's pixels), and the copies
    // the images waiting for the writer thread hold, in bytes.
    static uint64_t RunBytes(int components, int x, int y, const Outputs &outputs);

    // MemAvailable of meminfo (the text of /proc/meminfo), in bytes; 0 when not stated.
    static uint64_t AvailableBytes(const std::string &meminfo);
    // The same for this machine now; 0 when /proc/meminfo cannot be read.
    static uint64_t AvailableBytes();

    // The text of a byte count for messages: "1.5 GB", "340 MB".
    static std::string Text(uint64_t bytes);
};
