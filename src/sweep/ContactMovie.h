// ContactMovie: contact.mp4, the contact sheet's grid growing in step: frame k of every
// variant's movie in one picture, laid out and labelled as contact.png, one frame per image time
// (a variant whose movie has ended holds its last frame). Made after the variants ran, from their
// movies read back. Owns the readers while it builds.
#pragma once

#include <cstdint>
#include <string>

#include "sweep/ContactSheet.h"

class ContactMovie {
public:
    // What Build answers: None when no variant of the sheet has a movie (nothing written, and a
    // contact.mp4 of earlier runs removed).
    enum class Result { Failed = 0, Done = 1, None = 2 };
    static constexpr Result Failed = Result::Failed;
    static constexpr Result Done = Result::Done;
    static constexpr Result None = Result::None;
    static constexpr const char *FileName = "contact.mp4";
    // The rate when no variant's movie gives one.
    static constexpr double DefaultFps = 30.0;

    // Writes folder/contact.mp4 from the movies of sheet's entries (sheet built from folder):
    // Done; None; Failed with Error, no file left. A movie that cannot be read is a gap from the
    // frame on where it failed, with a line in Notes.
    [[nodiscard]] Result Build(const ContactSheet &sheet, const std::string &folder);

    int64_t Frames = 0;  // written
    uint32_t Width = 0;  // the picture's size: contact.png's, made even for H.264
    uint32_t Height = 0;
    std::string Error;
    std::string Notes;
};
