// The buffers one output pin hands out. A sample goes back to its pool when its last holder
// lets it go, on whatever thread that is (a renderer, a queue thread, a muxer): its deleter puts
// it on the free list under the pool's mutex, so everything the last holder wrote to it happens
// before the next Get hands it out again. The pool keeps at most Capacity free samples and
// frees the rest, so the buffers alive at any time are those in use plus that many.
//
// Ownership: samples share the pool's free list; a sample outliving its pool (a renderer still
// holding its paused frame when the pin goes) is simply freed when let go.
// Threads: Get and the return of samples from any thread; SetCapacity from the driving thread.
// Failure: Get throws std::bad_alloc when memory runs out, as the streaming threads expect.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "media/engine/MediaSample.h"

namespace kelvor::media {

class SamplePool {
  public:
    explicit SamplePool(std::size_t capacity = 4);

    // A sample of at least `size` bytes with no data, no times or media type, not preroll, not
    // a discontinuity and a sync point: a free one when the pool has it, else a new one.
    SamplePtr Get(std::size_t size);

    void SetCapacity(std::size_t capacity);
    // Free samples waiting for reuse (for tests).
    std::size_t FreeCount() const;

  private:
    struct FreeList {
        mutable std::mutex mutex;  // guards samples and capacity
        std::vector<std::unique_ptr<MediaSample>> samples;
        std::size_t capacity = 0;
    };
    struct GiveBack {
        std::shared_ptr<FreeList> list;
        void operator()(MediaSample* sample) const;
    };

    std::shared_ptr<FreeList> free_;
};

}  // namespace kelvor::media
