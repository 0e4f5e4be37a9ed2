#include "media/engine/SamplePool.h"

namespace kelvor::media {

SamplePool::SamplePool(std::size_t capacity) : free_(std::make_shared<FreeList>()) {
    free_->capacity = capacity;
}

void SamplePool::GiveBack::operator()(MediaSample* sample) const {
    std::unique_ptr<MediaSample> owned(sample);
    {
        std::lock_guard lock(list->mutex);
        if (list->samples.size() < list->capacity) {
            list->samples.push_back(std::move(owned));
            return;
        }
    }
    // Past the capacity the buffer is freed, outside the lock.
}

SamplePtr SamplePool::Get(std::size_t size) {
    std::unique_ptr<MediaSample> sample;
    {
        std::lock_guard lock(free_->mutex);
        if (!free_->samples.empty()) {
            sample = std::move(free_->samples.back());
            free_->samples.pop_back();
        }
    }
    if (sample) {
        sample->Reserve(size);
        sample->SetActualDataLength(0);
        sample->SetMediaType(std::nullopt);
        sample->SetAttachment(nullptr);
        sample->SetDiscontinuity(false);
        sample->SetPreroll(false);
        sample->SetSyncPoint(true);
        sample->ClearTime();
    } else {
        sample = std::make_unique<MediaSample>(size);
    }
    // Should the control block fail to allocate, the deleter takes the sample back.
    return SamplePtr(sample.release(), GiveBack{free_});
}

void SamplePool::SetCapacity(std::size_t capacity) {
    std::vector<std::unique_ptr<MediaSample>> dropped;
    std::lock_guard lock(free_->mutex);
    free_->capacity = capacity;
    while (free_->samples.size() > capacity) {
        dropped.push_back(std::move(free_->samples.back()));
        free_->samples.pop_back();
    }
}

std::size_t SamplePool::FreeCount() const {
    std::lock_guard lock(free_->mutex);
    return free_->samples.size();
}

}  // namespace kelvor::media
