#include "driver/shown_pictures.h"

#include <cstring>

#include "platform/exec/exec.h"
#include "records/result_codes.h"

namespace lanterna {

ShownPictures::~ShownPictures() {
    for (int32_t i = 0; i < count_; ++i) os::FreeVec(entries_[i].name);
    os::FreeVec(entries_);
    entries_ = nullptr;
    count_ = capacity_ = 0;
}

bool ShownPictures::Add(const char* name, int32_t place, int32_t picture) {
    if (name == nullptr) return false;
    if (count_ == capacity_) {
        const int32_t more = capacity_ == 0 ? 16 : capacity_ * 2;
        if (more <= capacity_) return false;
        auto* grown = static_cast<Entry*>(os::AllocVec(sizeof(Entry) * static_cast<size_t>(more), 0));
        if (grown == nullptr) return false;
        if (count_ > 0) std::memcpy(grown, entries_, sizeof(Entry) * static_cast<size_t>(count_));
        os::FreeVec(entries_);
        entries_ = grown;
        capacity_ = more;
    }
    const size_t length = std::strlen(name);
    auto* copy = static_cast<char*>(os::AllocVec(length + 1, 0));
    if (copy == nullptr) return false;
    std::memcpy(copy, name, length + 1);
    entries_[count_++] = Entry{copy, place, picture};
    return true;
}

namespace {

bool Reached(int32_t result) { return result == 0 || result == CODE_NEXT; }

}  // namespace

bool ShowGoingBack(ShownPictures& shown, const char* name, int32_t place, int32_t picture, ShowEntry show,
                   void* context) {
    // `at` is the list's entry on view; -1 while it is `name` not (yet) kept.
    int32_t at = -1;
    const char* current = name;
    int32_t currentPlace = place;
    int32_t currentPicture = picture;
    for (;;) {
        int32_t result = 0;
        PictureStep step = PictureStep::NEXT;
        const bool goOn = show(context, current, currentPlace, currentPicture, result, step);
        if (at < 0 && Reached(result) && shown.Add(name, place, picture)) at = shown.Count() - 1;
        if (!goOn) return false;
        if (step == PictureStep::PREVIOUS && Reached(result) && shown.Count() > 0) {
            // Without a place in the list the one before is the newest kept.
            if (at < 0) at = shown.Count();
            at = at > 0 ? at - 1 : 0;
        } else if (at >= 0 && at + 1 < shown.Count()) {
            ++at;  // forward again through what was shown
        } else {
            return true;  // past the newest: new pictures follow
        }
        current = shown.Name(at);
        currentPlace = shown.Place(at);
        currentPicture = shown.Picture(at);
    }
}

}  // namespace lanterna
