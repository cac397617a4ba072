// MovieRecorder: one movie file fed frame by frame while a run goes on, encoded on a thread of
// its own behind a bounded queue, so that the run waits only when the encoder falls behind.
// Owns the encoder, the thread and the copies of the frames queued.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "imageio/WriterThread.h"
#include "movie/MovieEncoder.h"

class MovieRecorder {
public:
    // Frames handed over and not yet encoded at most: a few, so that a slow encoder holds only
    // a few copies of the picture.
    static constexpr size_t QueueBound = 4;

    MovieRecorder(std::string path, const MovieSettings &settings);
    // Drops a movie not finished: the partial file is removed.
    ~MovieRecorder();
    MovieRecorder(const MovieRecorder &) = delete;
    MovieRecorder &operator=(const MovieRecorder &) = delete;

    // Copies frame and queues it (the first one opens the file at its size), waiting while the
    // queue is full: Done; Failed once the movie has failed (Error says why: EFBIG for sides
    // beyond the format's, ENOMEM when no copy can be had), the frame dropped.
    [[nodiscard]] MovieEncoder::Result Add(const MovieFrame &frame);
    // Encodes what is queued and commits the file: Done; Failed with the cause in Error, no file
    // left. A movie without frames fails with ENODATA.
    [[nodiscard]] MovieEncoder::Result Finish();
    // Drops the movie: waits for the frame being encoded, removes the partial file.
    void Discard();

    const std::string &Path() const { return FilePath; }
    MovieEncoder::Format GetFormat() const { return Kind; }
    // Frames encoded so far (all those added once Finish has answered).
    int64_t Frames() const { return Encoded.load(); }
    // The errno-like cause of the failure; 0 while none.
    int Error() const { return Cause.load(); }

private:
    struct Copy;

    std::string FilePath;
    MovieSettings Settings;
    MovieEncoder::Format Kind;
    std::unique_ptr<MovieEncoder> Encoder;
    std::unique_ptr<WriterThread> Thread;
    bool Begun = false;     // the first frame was queued (the encoder's Begin with it)
    bool Finished = false;  // Finish or Discard answered
    std::atomic<int> Cause{0};
    std::atomic<int64_t> Encoded{0};
};
